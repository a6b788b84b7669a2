#pragma once
// The command lines handed to the zip and unzip utilities. Each is built from
// its pieces exactly; the pieces are checked first so that no piece can break
// the line apart (see CommandPieceProblem).

#include "engine/backup_mode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

inline constexpr std::string_view RootBackupOptions = "-a+ -P -r -whs -yp -^^ -x@";
inline constexpr std::string_view IncrementalBackupOptions = "-i -P -r -whs -yp -^^ -x@";
inline constexpr std::string_view ExtractOptions = "-d -Jhrs -o- -yo -^^";
inline constexpr std::string_view ConsolidateOptions = "-a -p -r -whs -yp -^^";

// Why a piece cannot go into a command line, or nothing when it can: a quoted
// piece must hold no double quote and no line break, an unquoted piece no
// blank either.
std::optional<std::string> CommandPieceProblem(std::string_view piece, bool quoted);

// What the person reads when a piece cannot go into a utility's command line,
// or nothing when it can. `what` names the piece ("archive", "listing file"),
// `utility` the utility ("zip utility", "unzip utility").
// As a clause: the path of the WHAT "PIECE" cannot be passed to the UTILITY: WHY
std::optional<std::string> PieceRefusal(std::string_view what, std::string_view piece, bool quoted,
                                        std::string_view utility);
// As a sentence: The path of the WHAT "PIECE" cannot be passed to the UTILITY: WHY.
std::optional<std::string> PieceRefusalSentence(std::string_view what, std::string_view piece,
                                                bool quoted, std::string_view utility);
// For an archive the text names already: it cannot be passed to the UTILITY: WHY
std::optional<std::string> ArchiveRefusal(std::string_view archivePath, std::string_view utility);

// Root (mode 0) or incremental (mode 1) backup: short zip path, options,
// short exclusion file path, quoted archive path, "@" + short list file path.
std::string BackupCommandLine(BackupMode mode, std::string_view shortZipPath,
                              std::string_view shortExclusionPath, std::string_view archivePath,
                              std::string_view shortListPath);

// The unzip utility writes the names stored in an archive into a listing file.
std::string ListingCommandLine(std::string_view unzipPath, std::string_view listingPath,
                               std::string_view archivePath);

// The unzip utility writes the point records of the archives (their files
// with size and time, the kind of run that made each and the names gone
// since the backup before it) into one record file.
std::string PointRecordCommandLine(std::string_view unzipPath, std::string_view recordPath,
                                   const std::vector<std::string>& archivePaths);

// The unzip utility reads every entry of an archive back and checks its size
// and CRC, writing nothing.
std::string TestCommandLine(std::string_view unzipPath, std::string_view archivePath);

// Extract a whole archive, or only the names in a list file, into a folder
// (the folder path ends with a backslash).
std::string ExtractCommandLine(std::string_view unzipPath, std::string_view archivePath,
                               std::string_view destinationFolder);
std::string ExtractListedCommandLine(std::string_view unzipPath, std::string_view archivePath,
                                     std::string_view listPath, std::string_view destinationFolder);

// Store everything under a folder (ending with a backslash) in a new archive.
std::string ConsolidateCommandLine(std::string_view shortZipPath, std::string_view archivePath,
                                   std::string_view sourceFolder);
// The same, carrying into the new archive's deletion record the names gone
// by the end of the period it stands for, listed one per line in the file
// `goneListPath`.
std::string ConsolidateCommandLine(std::string_view shortZipPath, std::string_view archivePath,
                                   std::string_view sourceFolder, std::string_view goneListPath);

} // namespace rk
