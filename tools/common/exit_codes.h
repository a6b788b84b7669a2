#pragma once
// Exit codes of rkzip and rkunzip.

namespace rk::tools {

// Every file was stored or extracted.
inline constexpr int kExitOk = 0;
// The archive was written or read, but some files could not be (each named on
// standard error).
inline constexpr int kExitPartial = 1;
// The command line could not be understood.
inline constexpr int kExitUsage = 2;
// Nothing usable was written: the archive could not be opened, read or made.
inline constexpr int kExitFailed = 3;
// rkunzip: every entry left out was encrypted and no password given opened
// it (as Info-ZIP's unzip gives for bad passwords).
inline constexpr int kExitWrongPassword = 82;

} // namespace rk::tools
