#include "tools/cli/VerdictTable.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "data/CountText.h"
#include "data/NumberText.h"

namespace {

constexpr std::size_t Columns = 9;
using TLine = std::array<std::string, Columns>;

// Cable, Fiber and Verdict are texts; the others numbers, aligned on their right.
constexpr bool RightAligned(std::size_t column) {
    return column >= 2 && column + 1 < Columns;
}

std::string FigureText(const TFigure& value, int decimals) {
    return value ? FixedText(*value, decimals) : std::string();
}

}  // namespace

std::string VerdictTableText(const TMeasurementTable& table,
                             const std::vector<TVerdict>& verdicts) {
    if (verdicts.size() != table.RowCount())
        throw std::invalid_argument("the verdicts do not match the table's rows");
    std::vector<TLine> lines{TLine{"Cable", "Fiber", "WaveLength", "Value", "Reference", "Loss",
                                   "Limit", "Margin", "Verdict"}};
    lines.reserve(table.RowCount() + 1);
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        const TVerdict& verdict = verdicts[row];
        TLine& line = lines.emplace_back();
        for (int item = 0; item < TMeasurementTable::SubItemCount; ++item)
            line[static_cast<std::size_t>(item)] = table.SubItem(row, item);
        const TVerdictDecimals decimals = VerdictDecimals(verdict);
        line[5] = FigureText(verdict.Loss, decimals.Loss);
        line[6] = FigureText(verdict.Limit, decimals.Limit);
        line[7] = FigureText(verdict.Margin, decimals.Margin);
        line[8] = VerdictText(verdict.Kind);
    }
    std::array<std::size_t, Columns> widths{};
    for (const TLine& line : lines) {
        for (std::size_t column = 0; column < Columns; ++column)
            widths[column] = std::max(widths[column], line[column].size());
    }
    std::string text;
    for (const TLine& line : lines) {
        std::string out;
        for (std::size_t column = 0; column < Columns; ++column) {
            const std::string padding(widths[column] - line[column].size(), ' ');
            if (column > 0)
                out += "  ";
            out += RightAligned(column) ? padding + line[column] : line[column] + padding;
        }
        out.erase(out.find_last_not_of(' ') + 1);
        text += out + '\n';
    }
    return text;
}

std::string VerdictCountsText(const std::vector<TVerdict>& relative,
                              const std::vector<TVerdict>& absolute,
                              const std::vector<TFibreResult>& fibres) {
    const TVerdictCounts relativeCounts = CountVerdicts(relative);
    const TVerdictCounts absoluteCounts = CountVerdicts(absolute);
    const TVerdictCounts fibreCounts = CountFibreResults(fibres);
    std::string text;
    if (relativeCounts.Judged() > 0)
        text += VerdictSummary(relativeCounts, "relative") + '\n';
    if (fibreCounts.Judged() > 0)
        text += FibreSummary(fibreCounts) + '\n';
    if (absoluteCounts.Judged() > 0)
        text += VerdictSummary(absoluteCounts, "absolute") + '\n';
    if (const std::size_t none = relativeCounts.None + absoluteCounts.None; none > 0)
        text += GroupedCount(none) + " without a verdict\n";
    return text;
}
