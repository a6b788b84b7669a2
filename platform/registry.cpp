#include "platform/registry.h"

#include "platform/ascii_text.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "platform/ini_lines.h"
#include "platform/system_folders.h"

#include <cstdlib>
#include <sys/stat.h>

namespace rk::platform {

namespace {

constexpr std::string_view kAppPaths = "software\\microsoft\\windows\\currentversion\\app paths\\";
constexpr std::string_view kShellFolders =
    "software\\microsoft\\windows\\currentversion\\explorer\\shell folders";

std::string Lower(std::string_view text) {
    return LowerAscii(text);
}

std::string StorePath() {
    if (const char* store = std::getenv("RAVELKEEP_REGISTRY"); store != nullptr && *store != '\0')
        return store;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
        return std::string(config) + "/ravelkeep/registry.ini";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/ravelkeep/registry.ini";
}

std::string RootName(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? "hkey_local_machine" : "hkey_current_user";
}

enum class StoreAnswer { Found, NotListed, Unreadable };

StoreAnswer LookUpStore(RegistryRoot root, std::string_view keyPath, std::string_view valueName,
                        std::string& value) {
    const std::string path = StorePath();
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return StoreAnswer::NotListed;
    const std::optional<std::string> store = ReadHostFile(path);
    if (!store)
        return StoreAnswer::Unreadable;
    const std::string section = RootName(root) + "\\" + std::string(keyPath);
    const std::optional<std::string> found = FindIniEntry(
        *store, section, valueName.empty() ? std::string_view("@") : valueName, kRegistryRules);
    if (!found)
        return StoreAnswer::NotListed;
    value = std::string(TrimFrom(*found, kBlanks, kBlanksAndCr));
    return StoreAnswer::Found;
}

std::optional<std::string> BuiltInValue(RegistryRoot root, std::string_view keyPath,
                                        std::string_view valueName) {
    const std::string key = Lower(keyPath);
    if (root == RegistryRoot::LocalMachine && valueName.empty() && key.rfind(kAppPaths, 0) == 0) {
        const std::string program = key.substr(kAppPaths.size());
        std::string utility;
        if (program == "wzzip.exe")
            utility = "rkzip";
        else if (program == "wzunzip.exe")
            utility = "rkunzip";
        else
            return std::nullopt;
        const std::string host = ProgramFolderHost() + "/" + utility;
        struct stat info {};
        if (stat(host.c_str(), &info) != 0)
            return std::nullopt;
        return ToWindowsPath(host);
    }
    if (root == RegistryRoot::CurrentUser && key == kShellFolders && Lower(valueName) == "personal")
        return ToWindowsPath(DocumentsFolderHost());
    return std::nullopt;
}

} // namespace

std::optional<std::string> RegistryValue(RegistryRoot root, std::string_view keyPath,
                                         std::string_view valueName) {
    std::string value;
    switch (LookUpStore(root, keyPath, valueName, value)) {
    case StoreAnswer::Found:
        return value;
    case StoreAnswer::Unreadable:
        return std::nullopt;
    case StoreAnswer::NotListed:
        break;
    }
    return BuiltInValue(root, keyPath, valueName);
}

} // namespace rk::platform
