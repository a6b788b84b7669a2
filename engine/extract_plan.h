#pragma once
// The plain rules of a restore run: the archive date read from an archive's
// name, the range of archives between two days, and the names and texts the
// run derives from them.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

using CalendarDay = std::chrono::year_month_day;

// Fields 2, 3 and 4 of the name split at "_", read as year, month and day
// ("rk_2002_05_01_12_00_00.zip" gives 1 May 2002). A name whose fields are
// not whole numbers, or not a day of the calendar, has no archive date.
std::optional<CalendarDay> ArchiveDate(std::string_view archiveName);

// Fields 5 and 6 as "hh:nn" when both are whole numbers, else empty text.
std::string ArchiveTimeOfDay(std::string_view archiveName);

// The range as two indices into the sorted archive list; -1 is "not found".
// The indices reach every archive of the list, however long it is.
struct ArchiveRange {
    int startIndex = -1;
    int endIndex = -1;
    // True when there is no archive to work on.
    bool Empty() const { return startIndex < 0 || endIndex < 0 || startIndex > endIndex; }
};

// Start index: the first entry, from the oldest, whose day is on or after the
// start day. End index: the first entry, from the newest, whose day is on or
// before the end day. Entries without an archive date are passed over.
ArchiveRange FindRange(const std::vector<std::string>& archiveNames, CalendarDay startDay,
                       CalendarDay endDay);

// The archives of the range, oldest first: the entries from the start index
// to the end index that have an archive date (others are passed over here
// too). Empty for an empty range.
std::vector<std::string> RangeArchiveNames(const std::vector<std::string>& archiveNames,
                                           const ArchiveRange& range);

// Actions of the restore run: the index of the option buttons.
enum class ExtractAction : std::int16_t { ExtractAll = 0, Consolidate = 1, ExtractPicked = 2 };

// AddBackslash(destination) + the base name of the newest archive.
std::string ExtractionFolder(std::string_view destinationFolder, std::string_view newestArchive);
// AddBackslash(source) + base name of the newest archive + "_C." + extension.
std::string ConsolidatedArchivePath(std::string_view sourceFolder, std::string_view newestArchive);

// "EXTRACT", "CONSOLIDATE", "EXTRACT INDIVIDUAL FILES (n files selected)".
std::string ActionWord(ExtractAction action, long long selectedCount);

// The question asked before a run, lines joined by CR LF; the dates are
// already written in the short date form.
std::string ConfirmationText(std::string_view sourceFolder, std::string_view destinationFolder,
                             std::string_view startDate, std::string_view endDate,
                             std::string_view actionWord);

// The file picker's info text.
std::string PickerInfoText(std::string_view destinationFolder, std::string_view startDate,
                           std::string_view endDate);

// The name of the extract list file in the program folder.
inline constexpr std::string_view ExtractListFileName = "filelisto.tmp";
// The name of the listing file in the program folder.
inline constexpr std::string_view ListingFileName = "filelist.tmp";
// The name of the list of deleted files a consolidation hands the zip utility.
inline constexpr std::string_view GoneListFileName = "filegone.tmp";

} // namespace rk
