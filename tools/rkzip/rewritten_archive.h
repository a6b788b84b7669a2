#pragma once
// Opening an existing archive with libzip so that what libzip writes on
// closing it reaches the disk before it takes the archive's place: the
// rewritten archive goes to the temporary archive "<archive>.XXXXXX" of this
// run (MakeTemporaryArchive, so a stop signal or the next run removes it when
// the run dies), is flushed to disk, takes the archive's mode, is renamed over
// the archive, and then the folder is flushed. Until that rename the archive
// stays as it was, whatever becomes of the run or the machine.

#include <string>
#include <zip.h>

namespace rk::tools {

// The archive at `archiveHost` opened for adding entries, or nullptr with
// `code` set to libzip's error code (and `systemError` to the errno value
// behind it, 0 when there is none).
zip_t* OpenForRewriting(const std::string& archiveHost, int& code, int& systemError);

} // namespace rk::tools
