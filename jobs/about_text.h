#pragma once
// The text of the About message: the program title, its version and the legal
// notice, line by line.

#include <string>
#include <string_view>

namespace rk::jobs {

// The version as major.minor.revision, from the build ("2.0.1").
std::string_view VersionText();
// The legal notice of the program's version information.
std::string_view LegalNotice();
// "Ravelkeep", "Version: " + VersionText(), the legal notice; CR LF between.
std::string AboutText();

} // namespace rk::jobs
