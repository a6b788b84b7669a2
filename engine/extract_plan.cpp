#include "engine/extract_plan.h"

#include "core/text.h"

#include <algorithm>
#include <limits>

namespace rk {

namespace {

// A whole number of at most nine digits, nothing else.
std::optional<int> WholeNumber(std::string_view field) {
    if (field.empty() || field.size() > 9 ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    for (const char c : field)
        value = value * 10 + (c - '0');
    return value;
}

// The base name and extension are taken from a dummy folder and the name.
std::string NameInDummyFolder(std::string_view archiveName) {
    return "C:\\foo\\" + std::string(archiveName);
}

} // namespace

std::optional<CalendarDay> ArchiveDate(std::string_view archiveName) {
    const auto year = WholeNumber(GetToken(archiveName, 2, "_"));
    const auto month = WholeNumber(GetToken(archiveName, 3, "_"));
    const auto day = WholeNumber(GetToken(archiveName, 4, "_"));
    if (!year || !month || !day)
        return std::nullopt;
    const CalendarDay date{std::chrono::year{*year},
                           std::chrono::month{static_cast<unsigned>(*month)},
                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok() || *year < 1601 || *year > 9999)
        return std::nullopt;
    return date;
}

std::string ArchiveTimeOfDay(std::string_view archiveName) {
    const std::string hour = GetToken(archiveName, 5, "_");
    const std::string minute = GetToken(archiveName, 6, "_");
    if (!WholeNumber(hour) || !WholeNumber(minute))
        return {};
    return hour + ":" + minute;
}

ArchiveRange FindRange(const std::vector<std::string>& archiveNames, CalendarDay startDay,
                       CalendarDay endDay) {
    ArchiveRange range;
    const auto count = static_cast<int>(
        std::min<std::size_t>(archiveNames.size(), std::numeric_limits<int>::max()));
    for (int i = 0; i < count; ++i) {
        const auto date = ArchiveDate(archiveNames[static_cast<std::size_t>(i)]);
        if (date && *date >= startDay) {
            range.startIndex = i;
            break;
        }
    }
    for (int i = count - 1; i >= 0; --i) {
        const auto date = ArchiveDate(archiveNames[static_cast<std::size_t>(i)]);
        if (date && *date <= endDay) {
            range.endIndex = i;
            break;
        }
    }
    return range;
}

std::vector<std::string> RangeArchiveNames(const std::vector<std::string>& archiveNames,
                                           const ArchiveRange& range) {
    std::vector<std::string> names;
    if (range.Empty() || static_cast<std::size_t>(range.endIndex) >= archiveNames.size())
        return names;
    for (auto i = static_cast<std::size_t>(range.startIndex);
         i <= static_cast<std::size_t>(range.endIndex); ++i)
        if (ArchiveDate(archiveNames[i]))
            names.push_back(archiveNames[i]);
    return names;
}

std::string ExtractionFolder(std::string_view destinationFolder, std::string_view newestArchive) {
    return AddBackslash(destinationFolder) +
           GetPathPart(NameInDummyFolder(newestArchive), PathPartBaseName);
}

std::string ConsolidatedArchivePath(std::string_view sourceFolder, std::string_view newestArchive) {
    const std::string dummy = NameInDummyFolder(newestArchive);
    return AddBackslash(sourceFolder) + GetPathPart(dummy, PathPartBaseName) + "_C." +
           GetPathPart(dummy, PathPartExtension);
}

std::string ActionWord(ExtractAction action, long long selectedCount) {
    switch (action) {
    case ExtractAction::ExtractAll:
        return "EXTRACT";
    case ExtractAction::Consolidate:
        return "CONSOLIDATE";
    case ExtractAction::ExtractPicked:
        break;
    }
    return "EXTRACT INDIVIDUAL FILES (" + std::to_string(selectedCount) + " files selected)";
}

std::string ConfirmationText(std::string_view sourceFolder, std::string_view destinationFolder,
                             std::string_view startDate, std::string_view endDate,
                             std::string_view actionWord) {
    return "Source: " + std::string(sourceFolder) + "\r\n" +
           "Destination: " + std::string(destinationFolder) + "\r\n" +
           "Dates: " + std::string(startDate) + " to " + std::string(endDate) + "\r\n" +
           "Action: " + std::string(actionWord) + "\r\n" + "\r\n" + "OK to proceed?";
}

std::string PickerInfoText(std::string_view destinationFolder, std::string_view startDate,
                           std::string_view endDate) {
    return "Destination: " + std::string(destinationFolder) + "\r\n" +
           "Backups: " + std::string(startDate) + " to " + std::string(endDate);
}

} // namespace rk
