#pragma once
// Environment variables set for a test and given back their earlier values
// (or unset again) when this goes, last set first.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rk::test {

class SavedEnvironment {
  public:
    SavedEnvironment() = default;
    ~SavedEnvironment();
    SavedEnvironment(const SavedEnvironment&) = delete;
    SavedEnvironment& operator=(const SavedEnvironment&) = delete;

    void Set(const char* name, const std::string& value);
    // Gives every variable set so far its earlier value now.
    void Restore();

  private:
    // Each name with its earlier value, or nothing when it was unset.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace rk::test
