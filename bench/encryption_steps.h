#pragma once
// The cost of encryption: a root backup of a tree by rkzip with a password
// against the same backup without one, and what its parts cost (the key
// derivation of every entry, the AES-256 counter mode and the HMAC-SHA1 of
// the bytes), timed here in this process on one core.

#include "bench_context.h"

#include <string>
#include <vector>

namespace rk::bench {

// Root backups of `job`'s list into `archive`, plain and encrypted, with the
// encrypted one's time against the plain one's (`limit` the target), and
// the parts' CPU time for the archive's `files` entries and its size.
std::vector<TableRow> EncryptedBackupRows(const Tools& tools, const Layout& layout,
                                          const std::string& label, const std::string& job,
                                          const std::string& archive, std::size_t files,
                                          double limit);

} // namespace rk::bench
