#pragma once
// Writing a file rkunzip is told to write by name (the -@ listing), which may
// lie in a folder others can write to. The text goes to a new file under a
// random name, made exclusively and never through a link, which is then
// renamed over the name: what is there is replaced, never written through. A
// name that is a symbolic link, something other than a regular file, or
// another user's file is refused and left as it is.

#include <string>

namespace rk::tools {

// Writes `text` as the file `host` (mode 0600); false and `problem` when it
// is refused or cannot be written.
bool WriteNamedFile(const std::string& host, const std::string& text, std::string& problem);

} // namespace rk::tools
