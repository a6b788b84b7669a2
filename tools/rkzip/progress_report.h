#pragma once
// rkzip's progress, for a program that shows it: when the environment names
// a descriptor in RKZIP_PROGRESS_FD, lines
//   "rkzip-progress FILES_DONE FILES_TOTAL BYTES_DONE BYTES_TOTAL\n"
// are written to it: one when the files to store are known, then at most
// about ten a second while they are read, and one at the end. Without the
// variable nothing is written. The command line stays as it is.

#include <cstddef>
#include <cstdint>

namespace rk::tools {

// Opens the channel named by the environment, if any, with the totals of the
// files to be read; writes the first line.
void StartProgress(std::uint64_t filesTotal, std::uint64_t bytesTotal);

// Bytes read from a file (from any thread).
void AddProgressBytes(std::size_t bytes);
// A file read to its end (from any thread).
void AddProgressFile();
// A read that is started again from the beginning: what it had counted is
// taken back.
void TakeBackProgress(std::size_t bytes, bool file);

// Writes the last line (done as far as it got).
void FinishProgress();

} // namespace rk::tools
