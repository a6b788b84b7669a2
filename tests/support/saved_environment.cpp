#include "support/saved_environment.h"

#include <cstdlib>

namespace rk::test {

SavedEnvironment::~SavedEnvironment() {
    Restore();
}

void SavedEnvironment::Restore() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->second)
            setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
    saved_.clear();
}

void SavedEnvironment::Set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
}

} // namespace rk::test
