#include "tools/rkunzip/entry_selection.h"

#include "platform/file_system.h"
#include "tools/common/stored_names.h"

namespace rk::tools {

namespace {

std::string WindowsForm(const std::string& name) {
    std::string text = name;
    for (auto& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

} // namespace

void EntrySelection::AddName(const std::string& name) {
    names_.insert(ComparableName(name));
    if (name.find_first_of("*?") != std::string::npos)
        patterns_.push_back(WindowsForm(name));
}

bool EntrySelection::Selects(const std::string& storedName) const {
    if (empty())
        return true;
    if (names_.count(ComparableName(storedName)) != 0)
        return true;
    const std::string windows = WindowsForm(storedName);
    for (const auto& pattern : patterns_)
        if (rk::platform::WildcardMatch(windows, pattern))
            return true;
    return false;
}

} // namespace rk::tools
