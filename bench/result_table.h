#pragma once
// The one table the benchmark prints: a row per task, a column per tool
// (seconds and peak memory), then Ravelkeep's ratio against the reference
// tool of the row and the target it has to meet.

#include "measured_run.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace rk::bench {

enum Column { kRavelkeep, kInfoZip, kSevenZip, kBsdtar, kStatWalk, kColumnCount };

struct TableRow {
    std::string task;
    std::array<std::string, kColumnCount> cells;
    std::string ratio;   // "0.53 x Info-ZIP"
    std::string target;  // "<= 0.50"
    std::string verdict; // "met", "MISSED", or empty
};

// The cell text of a measured run: "12.34 s 45 MB", or why there is none.
std::string CellText(const std::optional<Measure>& measure);
inline const std::string kNotInstalled = "not installed";

// Fills in the ratio of the Ravelkeep cell to the reference one, and the
// verdict when `limit` is given.
void SetRatio(TableRow& row, const std::optional<Measure>& ours,
              const std::optional<Measure>& reference, const std::string& referenceName,
              std::optional<double> limit);

// A row that holds Ravelkeep's run to an absolute limit: its peak memory
// (`limitMb`) or its time (`limitSeconds`).
TableRow MemoryLimitRow(const std::string& task, const std::optional<Measure>& ours,
                        double limitMb);
TableRow TimeLimitRow(const std::string& task, const std::optional<Measure>& ours,
                      double limitSeconds);

// With `headings`, the columns are named so (another table's tools).
void PrintTable(const std::string& title, const std::vector<TableRow>& rows,
                const std::array<std::string, kColumnCount>* headings = nullptr);

} // namespace rk::bench
