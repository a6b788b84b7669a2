#pragma once
// Exit codes of the program's windowless lives ("rkbak /ib", "/verify",
// "/c"): the program's start and every life that ends without a window give
// one of these.

namespace rk {

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUnusable = 2;

} // namespace rk
