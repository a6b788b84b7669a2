#pragma once
// The DOS attribute bits of a file, kept in the extended attribute
// user.DOSATTRIB (hex text as Wine writes it, or Samba's binary record), and
// the attribute byte zip archives carry in the low byte of an entry's
// external attributes.

#include <string>

namespace rk::tools {

inline constexpr unsigned kDosReadOnly = 0x01;
inline constexpr unsigned kDosHidden = 0x02;
inline constexpr unsigned kDosSystem = 0x04;
inline constexpr unsigned kDosDirectory = 0x10;
inline constexpr unsigned kDosArchive = 0x20;

// The DOS bits recorded for `hostPath` (the link itself, never its target);
// 0 when none are recorded.
unsigned ReadDosBits(const std::string& hostPath);

// Records the hidden and system bits of `bits` for the open file `fd`; other
// bits are left out. Nothing is written when neither bit is set.
bool WriteDosBits(int fd, unsigned bits);

} // namespace rk::tools
