#pragma once
// Folders the operating system gives the program.

#include "platform/result.h"

#include <string>
#include <string_view>

namespace rk::platform {

// The folder of the running executable (symbolic links resolved), host path.
std::string ProgramFolderHost();
// Base name of the running executable ("rkbak").
std::string ProgramBaseName();

// The private per-user temporary folder as Windows path text ending with "\":
// $TMPDIR (else /tmp) itself when it is a folder of this user that nobody else
// can write into, else the folder ravelkeep-<uid> inside it, made with mode
// 0700 and checked to belong to the user. A folder above it that another user
// owns, or that others can write into without the sticky bit, lets no folder
// in it be private: then empty text, as when no such folder can be had.
std::string TempPath();
// Why TempPath gives no folder, naming the folder and what is wrong with it
// (a link, someone else's); empty text when it gives one.
std::string TempPathProblem();
// Makes the host folder private to this user as the temporary folder is made
// (mode 0700, made when missing), or says what is wrong with it ("is a
// symbolic link", "belongs to another user").
[[nodiscard]] Result<void> EnsurePrivateFolder(const std::string& host);

// GetTempFileName with the unique number 0: in `windowsFolder`, a new empty
// file named from the first three characters of the prefix, a hexadecimal
// number and ".TMP", created exclusively. Its full Windows path, or empty text.
std::string TempFileName(std::string_view windowsFolder, std::string_view prefix);

// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents), host path.
std::string DocumentsFolderHost();

// GetShortPathName: a path without spaces comes back unchanged; an existing
// path with spaces comes back as a space-free alias (a symbolic link in a
// private per-user folder named by a hash of the target); a missing path comes
// back unchanged. Windows path text in and out.
std::string ShortPath(std::string_view windowsPath);

} // namespace rk::platform
