#pragma once
// Which entries an extraction takes: all, or those named in "@" list files
// (each line one listed name, taken literally; letter case ignored, as the
// file picker merges names that differ only in case) and by NAME operands
// (which may hold the wildcards * and ?).

#include <string>
#include <unordered_set>
#include <vector>

namespace rk::tools {

class EntrySelection {
  public:
    // A line of an "@" list file: a listed name (plain or escaped form).
    void AddListedName(const std::string& listed);
    // A NAME operand: a name or a wildcard pattern in Windows form.
    void AddPattern(const std::string& name);
    bool empty() const { return names_.empty() && patterns_.empty(); }
    // `storedName` as the archive holds it; `backslashSeparates` for names
    // of archives made on DOS or Windows.
    bool Selects(const std::string& storedName, bool backslashSeparates) const;
    // A folder entry is taken when everything is, or when it holds a listed
    // name: so a picked file comes back inside folders with their own modes.
    bool SelectsFolder(const std::string& storedName, bool backslashSeparates) const;

  private:
    std::unordered_set<std::string> names_;   // comparable stored names
    std::unordered_set<std::string> folders_; // the folders holding them
    std::vector<std::string> patterns_;       // Windows form, with * or ?
};

} // namespace rk::tools
