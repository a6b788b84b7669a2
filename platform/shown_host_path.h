#pragma once
// A path as a Linux user reads it: the host path that Windows path text
// stands for, with the home folder written "~".

#include <string>
#include <string_view>

namespace rk::platform {

// "~/Backups" for "C:\Backups" when C: is the home folder; the host path
// when it lies outside the home folder; empty text for text that is no path
// (empty, relative or on no drive of the drive map).
std::string ShownHostPath(std::string_view windowsPath);

} // namespace rk::platform
