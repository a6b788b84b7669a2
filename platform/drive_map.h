#pragma once
// Windows path text inside the program, host paths at the operating-system
// boundary. Drive letters map to host folders: by default C: is the user's
// home folder and Z: is "/", as in Wine; RAVELKEEP_DRIVES ("C=/tmp/c;Z=/")
// replaces the whole map.

#include <optional>
#include <string>
#include <string_view>

namespace rk::platform {

// Reads RAVELKEEP_DRIVES (or builds the default map) again. Returns false and
// fills `error` when the variable is malformed; the map is then empty, so every
// path is unmappable. Called implicitly on first use; tests call it after
// changing the variable.
bool ReloadDriveMap(std::string* error = nullptr);

// The problem with RAVELKEEP_DRIVES found by the last load, or empty text.
std::string DriveMapError();

// The start of Windows path text whose names are taken as they stand:
// "\\?\C:\proj." names a folder "proj." and nothing else.
inline constexpr std::string_view kLiteralPrefix = "\\\\?\\";

// Win32 normalisation of Windows path text: "/" becomes "\", repeated
// separators collapse, "." and ".." components resolve, trailing dots and
// spaces of each component are dropped. "\\server\share" keeps its prefix.
// A "\\?\X:\" path keeps its prefix and its names as they stand; only
// repeated separators collapse.
std::string NormalizeWindowsPath(std::string_view windowsPath);

// The host path for Windows path text, or nothing when the text has no
// mapping (a "\\server" path, an unmapped drive, a malformed map). Text
// without a drive is taken relative to the current folder; text starting with
// a single "\" is on the drive of the current folder. A name written with
// trailing dots or spaces is taken as written when the host has an entry of
// that name, else without them (what the text means on Windows), so typed
// text is never read onto another existing entry; "\\?\X:\" text is taken
// as written.
std::optional<std::string> ToHostPath(std::string_view windowsPath);

// Windows path text for a host path: the mapped drive with the longest
// matching root, else Z:. Relative host paths are made absolute first.
std::string ToWindowsPath(std::string_view hostPath);

// Windows path text for a host path that means that path alone, whether or
// not it still exists: ToWindowsPath's text, or, when a name ends in a dot or
// a space (which Windows text drops), that text after "\\?\". For a folder
// chosen on the host and kept as text.
std::string ToWindowsPathKept(std::string_view hostPath);

} // namespace rk::platform
