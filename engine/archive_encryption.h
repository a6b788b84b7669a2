#pragma once
// Whether an archive holds encrypted entries, read from its central
// directory (the encryption flag of each entry), without any password: a
// restore asks for a password only when its archives need one, and the file
// picker says when the names it shows come from encrypted archives.

#include <string>
#include <vector>

namespace rk {

// True when some entry of the archive (host path) is encrypted. An archive
// that cannot be read as a zip archive answers false: the unzip utility says
// what is wrong with it.
bool ArchiveIsEncrypted(const std::string& hostPath);

// True when one of the archives (Windows path text) is encrypted.
bool AnyArchiveEncrypted(const std::vector<std::string>& archivePaths);

} // namespace rk
