#pragma once
// Reading what the zip utility wrote on its standard error: the files it
// left out of an archive, and the lines that say why a run went wrong, for
// the run's record and the notification that tells the user.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// The most lines of a utility's error output that a reason quotes.
inline constexpr std::size_t kMostCauseLines = 10;

// What a line of rkzip names as left out of the archive it made, or nothing
// for any other line. rkzip writes exactly these lines for what it could not
// store:
//   "rkzip: can't read 'PATH': REASON (not stored)"   a file it could not read
//   "rkzip: can't add 'PATH': REASON (not stored)"    a file it could not add
//   "rkzip: can't read folder PATH: REASON"           a folder it could not read
//   "rkzip: can't read PATH: REASON"                  an entry it could not look at
//   "rkzip: name not matched: FOLDER\PATTERN"         a source that does not exist
// and the name handed back is PATH (FOLDER for the last).
std::optional<std::string> LeftOutName(std::string_view line);

// A line of rkzip said for the user: "rkzip: name not matched: C:\X\*.*"
// becomes "the source folder C:\X does not exist" (and a name without a
// wildcard "the source C:\X\f.txt does not exist"), as rkzip itself says
// when the only source is missing; any other line stays as it is.
std::string PlainLine(std::string_view line);

// Counts the left-out lines of a whole run, one line at a time, and keeps
// the first names.
class LeftOutFiles {
  public:
    void Take(std::string_view line);
    // The first names, at most `most` of them.
    const std::vector<std::string>& Named() const { return named_; }
    // The first names, each a missing source said as PlainLine says it.
    const std::vector<std::string>& Told() const { return told_; }
    long long Count() const { return count_; }
    explicit LeftOutFiles(std::size_t most) : most_(most) {}

  private:
    std::size_t most_;
    std::vector<std::string> named_;
    std::vector<std::string> told_;
    long long count_ = 0;
};

// The last line of a utility's error output that holds more than blanks and
// line ends, without the blanks and line ends at its end; empty text when
// there is none.
std::string_view LastLine(std::string_view text);

// The last lines of a utility's error output that say something (at most
// `most`, in their order): lines that are not blank and not a notice of an
// entry that is left out by design (rkzip's "not a regular file, not
// stored"), without their line ends, each as PlainLine says it; a line
// another line already says in full is left out.
std::vector<std::string> MeaningfulLines(std::string_view text, std::size_t most = kMostCauseLines);

} // namespace rk
