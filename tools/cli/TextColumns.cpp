#include "tools/cli/TextColumns.h"

#include <algorithm>

#include "data/ControlText.h"

namespace {

// Characters, not bytes: a UTF-8 continuation byte starts none.
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

std::string AlignedColumns(const std::vector<std::vector<std::string>>& cells,
                           const std::vector<bool>& rightAligned) {
    // Names from a meter or an imported document reach the terminal: never their controls.
    std::vector<std::vector<std::string>> lines;
    lines.reserve(cells.size());
    for (const std::vector<std::string>& line : cells) {
        std::vector<std::string>& escaped = lines.emplace_back();
        escaped.reserve(line.size());
        for (const std::string& cell : line)
            escaped.push_back(EscapeControls(cell));
    }
    std::vector<std::size_t> widths;
    for (const std::vector<std::string>& line : lines) {
        widths.resize(std::max(widths.size(), line.size()));
        for (std::size_t column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], Width(line[column]));
    }
    std::string text;
    for (const std::vector<std::string>& line : lines) {
        std::string out;
        for (std::size_t column = 0; column < line.size(); ++column) {
            const std::string padding(widths[column] - Width(line[column]), ' ');
            if (column > 0)
                out += "  ";
            const bool right = column < rightAligned.size() && rightAligned[column];
            out += right ? padding + line[column] : line[column] + padding;
        }
        out.erase(out.find_last_not_of(' ') + 1);
        text += out + '\n';
    }
    return text;
}
