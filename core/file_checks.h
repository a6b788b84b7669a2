#pragma once
// Existence and write tests, temporary files and the registry reader. Every
// failure is a plain negative answer or empty text; nothing is reported.

#include <optional>
#include <string>
#include <string_view>

namespace rk {

bool PathExists(std::string_view path);
bool FolderExists(std::string_view path);
bool IsFolderWritable(std::string_view folder);
// A new, empty, uniquely named file in `folder` (the temporary folder when
// none is given); its full path, or empty text.
std::string MakeTempFileName(std::string_view prefix,
                             std::optional<std::string_view> folder = std::nullopt);

enum class RegistryRootKey { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };
std::string RegReadString(RegistryRootKey root, std::string_view keyPath,
                          std::string_view valueName);

} // namespace rk
