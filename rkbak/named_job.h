#pragma once
// The job a windowless life is asked to run ("/ib/NAME", "/verify/NAME"),
// checked before the life begins.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace rk {

// Nothing when a job of that name exists. Otherwise the exit code 2, with one
// line on `errors`: `noNameLine` when the name is empty or blank, else that
// there is no such job in the job store.
std::optional<int> RefuseUnknownJob(const std::string& jobName, std::string_view noNameLine,
                                    std::ostream& errors);

} // namespace rk
