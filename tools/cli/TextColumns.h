#pragma once

#include <string>
#include <vector>

// Lines of UTF-8 cells as a plain-text table for a terminal: control characters escaped
// (EscapeControls), each column as wide as its widest cell (counted in characters), two blanks
// between columns, the columns marked in rightAligned padded on their left, trailing blanks cut,
// every line ended by LF.
std::string AlignedColumns(const std::vector<std::vector<std::string>>& lines,
                           const std::vector<bool>& rightAligned);
