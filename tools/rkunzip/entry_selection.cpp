#include "tools/rkunzip/entry_selection.h"

#include "core/listed_names.h"
#include "platform/file_system.h"
#include "tools/common/stored_names.h"

namespace rk::tools {

void EntrySelection::AddListedName(const std::string& listed) {
    // A line that is no listed name (a broken escape) names nothing.
    const auto stored = StoredNameOf(listed);
    if (!stored)
        return;
    const std::string comparable = ComparableName(*stored, false);
    for (std::size_t slash = comparable.find('/'); slash != std::string::npos;
         slash = comparable.find('/', slash + 1))
        folders_.insert(comparable.substr(0, slash));
    names_.insert(comparable);
}

void EntrySelection::AddPattern(const std::string& name) {
    if (name.find_first_of("*?") == std::string::npos) {
        AddListedName(name);
        return;
    }
    patterns_.push_back(name);
}

bool EntrySelection::SelectsFolder(const std::string& storedName, bool backslashSeparates) const {
    if (empty())
        return true;
    std::string comparable = ComparableName(storedName, backslashSeparates);
    if (!comparable.empty() && comparable.back() == '/')
        comparable.pop_back();
    return folders_.count(comparable) != 0;
}

bool EntrySelection::Selects(const std::string& storedName, bool backslashSeparates) const {
    if (empty())
        return true;
    const std::string comparable = ComparableName(storedName, backslashSeparates);
    if (names_.count(comparable) != 0)
        return true;
    if (patterns_.empty())
        return false;
    const std::string listed = ListedName(comparable);
    for (const auto& pattern : patterns_)
        if (rk::platform::WildcardMatch(listed, pattern))
            return true;
    return false;
}

} // namespace rk::tools
