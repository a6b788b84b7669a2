#pragma once
// The DOS bits of the files found for an archive (user.DOSATTRIB), read
// through the open file where it is open already, and never again from a
// file system that answered that it keeps no extended attributes: a tree on
// such a file system costs no call per file for them. A file system that
// keeps attributes is asked for every file, as any file on it may have one.

#include "tools/rkzip/source_file.h"

#include <string>
#include <sys/types.h>

namespace rk::tools {

// What is known of the file system a file lies on: its device, when the
// file is known to lie on it, or none.
struct DeviceOf {
    dev_t device = 0;
    bool known = false;
};

// The device of the file system `file` lies on, when known.
DeviceOf DeviceOfFound(const SourceFile& file);

// The bits recorded for the open file `fd`; 0 when none are.
unsigned ReadDosBitsOf(int fd, DeviceOf device);

// The bits recorded for `hostPath` (the link itself, never its target).
unsigned ReadDosBitsAt(const std::string& hostPath, DeviceOf device);

// Whether the file system of `device` answered that it keeps no extended
// attributes, so that its files are no longer asked.
bool KeepsNoAttributes(dev_t device);

} // namespace rk::tools
