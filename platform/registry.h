#pragma once
// The read-only registry. Two keys have built-in answers: the App Paths of
// wzzip.exe and wzunzip.exe name rkzip and rkunzip beside the program, and the
// current user's Shell Folders value "Personal" names the documents folder. A
// text store overrides both: the file named by RAVELKEEP_REGISTRY, else
// $XDG_CONFIG_HOME/ravelkeep/registry.ini (~/.config/... when unset), with
// sections "[HKEY_LOCAL_MACHINE\key path]" and lines "name=value" ("@" names
// the default value).

#include <optional>
#include <string>
#include <string_view>

namespace rk::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// The value as text, or nothing when the key or value does not exist or the
// store cannot be read. An empty value name asks for the key's default value.
std::optional<std::string> RegistryValue(RegistryRoot root, std::string_view keyPath,
                                         std::string_view valueName);

} // namespace rk::platform
