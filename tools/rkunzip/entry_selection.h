#pragma once
// Which entries an extraction takes: all, or those named in "@" list files
// (as a listing gives them; letter case ignored) and by name patterns.

#include <string>
#include <unordered_set>
#include <vector>

namespace rk::tools {

class EntrySelection {
  public:
    void AddName(const std::string& name);
    bool empty() const { return names_.empty() && patterns_.empty(); }
    bool Selects(const std::string& storedName) const;

  private:
    std::unordered_set<std::string> names_;
    std::vector<std::string> patterns_; // Windows form, with * or ?
};

} // namespace rk::tools
