#include "result_table.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

namespace rk::bench {

namespace {

constexpr std::array<const char*, kColumnCount> kHeadings = {"Ravelkeep", "Info-ZIP", "7-Zip",
                                                             "bsdtar", "stat walk"};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool Usable(const std::optional<Measure>& measure) {
    return measure && measure->started && measure->exitCode == 0 && measure->seconds > 0;
}

} // namespace

std::string CellText(const std::optional<Measure>& measure) {
    if (!measure)
        return "-";
    if (!measure->started)
        return "could not start";
    std::string text = Fixed(measure->seconds, 2) + " s " +
                       Fixed(static_cast<double>(measure->peakKb) / 1024.0, 0) + " MB";
    if (measure->exitCode != 0)
        text += " (exit " + std::to_string(measure->exitCode) + ")";
    return text;
}

void SetRatio(TableRow& row, const std::optional<Measure>& ours,
              const std::optional<Measure>& reference, const std::string& referenceName,
              std::optional<double> limit) {
    if (limit)
        row.target = "<= " + Fixed(*limit, 2);
    if (!Usable(ours) || !Usable(reference)) {
        row.ratio = "-";
        row.verdict = limit ? "no figure" : "";
        return;
    }
    const double ratio = ours->seconds / reference->seconds;
    row.ratio = Fixed(ratio, 2) + " x " + referenceName;
    if (limit)
        row.verdict = ratio <= *limit ? "met" : "MISSED";
}

namespace {

// A row of Ravelkeep's run alone, held to an absolute limit: `figure` gives
// the value shown and whether it is within the limit.
TableRow LimitRow(const std::string& task, const std::optional<Measure>& ours,
                  const std::string& target,
                  const std::function<std::pair<std::string, bool>(const Measure&)>& figure) {
    TableRow row;
    row.task = task;
    row.cells = {CellText(ours), "-", "-", "-", "-"};
    row.target = target;
    if (!Usable(ours)) {
        row.ratio = "-";
        row.verdict = "no figure";
        return row;
    }
    const auto [shown, met] = figure(*ours);
    row.ratio = shown;
    row.verdict = met ? "met" : "MISSED";
    return row;
}

} // namespace

TableRow MemoryLimitRow(const std::string& task, const std::optional<Measure>& ours,
                        double limitMb) {
    return LimitRow(task, ours, "<= " + Fixed(limitMb, 0) + " MB", [limitMb](const Measure& m) {
        const double peakMb = static_cast<double>(m.peakKb) / 1024.0;
        return std::pair{"peak " + Fixed(peakMb, 0) + " MB", peakMb <= limitMb};
    });
}

TableRow TimeLimitRow(const std::string& task, const std::optional<Measure>& ours,
                      double limitSeconds) {
    return LimitRow(task, ours, "< " + Fixed(limitSeconds, 1) + " s",
                    [limitSeconds](const Measure& m) {
                        return std::pair{Fixed(m.seconds, 2) + " s", m.seconds < limitSeconds};
                    });
}

void PrintTable(const std::string& title, const std::vector<TableRow>& rows,
                const std::array<std::string, kColumnCount>* headings) {
    std::array<std::string, kColumnCount> names;
    for (int c = 0; c < kColumnCount; ++c)
        names[c] = headings != nullptr ? (*headings)[c] : kHeadings[c];
    std::size_t taskWidth = 4;
    std::array<std::size_t, kColumnCount> widths{};
    std::size_t ratioWidth = 5;
    for (int c = 0; c < kColumnCount; ++c)
        widths[c] = names[c].size();
    for (const auto& row : rows) {
        taskWidth = std::max(taskWidth, row.task.size());
        for (int c = 0; c < kColumnCount; ++c)
            widths[c] = std::max(widths[c], row.cells[c].size());
        ratioWidth = std::max(ratioWidth, row.ratio.size());
    }
    const auto pad = [](const std::string& text, std::size_t width) {
        return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
    };
    std::printf("\n%s\n\n", title.c_str());
    std::string heading = pad("task", taskWidth);
    for (int c = 0; c < kColumnCount; ++c)
        heading += " | " + pad(names[c], widths[c]);
    heading += " | " + pad("ratio", ratioWidth) + " | target  | verdict";
    std::printf("%s\n%s\n", heading.c_str(), std::string(heading.size(), '-').c_str());
    for (const auto& row : rows) {
        std::string line = pad(row.task, taskWidth);
        for (int c = 0; c < kColumnCount; ++c)
            line += " | " + pad(row.cells[c], widths[c]);
        line +=
            " | " + pad(row.ratio, ratioWidth) + " | " + pad(row.target, 7) + " | " + row.verdict;
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

} // namespace rk::bench
