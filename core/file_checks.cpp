#include "core/file_checks.h"

#include "core/text.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system_folders.h"

namespace rk {

namespace {

// The fixed buffer the registry value is read into: the value and its closing
// NUL must fit, so at most 254 characters of it come back.
constexpr std::size_t RegistryBufferSize = 255;

} // namespace

bool PathExists(std::string_view path) {
    // A folder path with a trailing backslash is looked up without it; a drive
    // root such as "C:\" keeps its backslash.
    if (path.size() >= 4 && path.back() == '\\')
        path.remove_suffix(1);
    return platform::FindAnyEntry(path);
}

bool FolderExists(std::string_view path) {
    const std::string probe = AddBackslash(path) + "foo.$$$";
    // The folder part and the root part of a name inside the folder agree
    // exactly when the folder is a root, which has no entry of its own.
    if (GetPathPart(probe, PathPartFolder, false) == GetPathPart(probe, PathPartRoot, false))
        return IsFolderWritable(path);
    return PathExists(StripBackslash(path));
}

bool IsFolderWritable(std::string_view folder) {
    const std::string file = MakeTempFileName("tst", folder);
    if (file.empty())
        return false;
    const std::string line = std::string(ProgramTitle) + " dir open successful\r\n";
    // The test file is made anew under its name: a link put in its place is
    // never written through, and a failed write leaves nothing behind.
    const bool written = platform::ReplaceWithNewFile(file, line);
    return platform::DeleteFile(file) && written;
}

std::string MakeTempFileName(std::string_view prefix, std::optional<std::string_view> folder) {
    const std::string where = folder ? std::string(*folder) : platform::TempPath();
    return TrimAtNull(Trim(platform::TempFileName(where, prefix)));
}

std::string RegReadString(RegistryRootKey root, std::string_view keyPath,
                          std::string_view valueName) {
    const auto platformRoot = root == RegistryRootKey::HKEY_LOCAL_MACHINE
                                  ? platform::RegistryRoot::LocalMachine
                                  : platform::RegistryRoot::CurrentUser;
    const std::optional<std::string> value =
        platform::RegistryValue(platformRoot, keyPath, valueName);
    if (!value)
        return {};
    // The buffer starts out as spaces; the value lands at its start, closed by
    // a NUL when it fits.
    std::string buffer(RegistryBufferSize, ' ');
    if (value->size() < RegistryBufferSize) {
        buffer.replace(0, value->size(), *value);
        buffer[value->size()] = '\0';
    } else {
        buffer.replace(0, RegistryBufferSize - 1, value->substr(0, RegistryBufferSize - 1));
        buffer[RegistryBufferSize - 1] = '\0';
    }
    return TrimAtNull(Trim(buffer));
}

} // namespace rk
