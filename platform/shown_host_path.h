#pragma once
// A path as a Linux user reads it: the host path that Windows path text
// stands for, with the home folder written "~".

#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

// "~/Backups" for "C:\Backups" when C: is the home folder; the host path
// when it lies outside the home folder; empty text for text that is no path
// (empty, relative or on no drive of the drive map).
std::string ShownHostPath(std::string_view windowsPath);

// The Windows paths a message names ("C:\Data", "D:\My Files\a.txt"), in
// order, each once. A quoted path runs to its closing quote; any other runs to
// a quote or the line's end, and where it could end at one of several spaces,
// the longest part that exists is taken, else the part before the first
// space; closing punctuation is left out.
std::vector<std::string> WindowsPathsIn(std::string_view text);

// A line for each Windows path the message names that has a host path:
// "C:\Backups is ~/Backups on this computer."; empty text when none has.
std::string HostPathsNote(std::string_view text);

} // namespace rk::platform
