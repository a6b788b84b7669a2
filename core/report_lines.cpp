#include "core/report_lines.h"

namespace rk {

void ReportLine(std::ostream& errors, std::string_view text) {
    errors << kReportPrefix << text << '\n';
}

void ReportLines(std::ostream& errors, std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            ReportLine(errors, text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace rk
