#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A table of any columns for the workbook and CSV writers, for results that are not a
// measurement table (a job's rows, say). Its texts are UTF-8.
struct TGridCell {
    std::string Text;              // what CSV and text show; for a number, its figure
    std::optional<double> Number;  // a number cell in the workbook (Text its CSV figure)
    int Decimals = -1;             // the workbook shows the number with so many; -1: general

    bool operator==(const TGridCell&) const = default;
};

struct TExportGrid {
    std::string SheetName;
    std::vector<std::string> Captions;
    // As many cells as captions each.
    std::vector<std::vector<TGridCell>> Rows;
};

inline TGridCell GridText(std::string text) {
    return TGridCell{std::move(text), std::nullopt, -1};
}

inline TGridCell GridNumber(std::string figure, double value, int decimals = -1) {
    return TGridCell{std::move(figure), value, decimals};
}

// Throws std::invalid_argument when a row has not one cell per caption.
inline void CheckGridRows(const TExportGrid& grid) {
    for (const std::vector<TGridCell>& row : grid.Rows) {
        if (row.size() != grid.Captions.size())
            throw std::invalid_argument("a grid row does not match the captions");
    }
}
