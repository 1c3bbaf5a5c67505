#include "data/MeasurementText.h"

std::string ListViewToText(const TMeasurementTable& table, bool OnlyChecked) {
    const std::size_t rows = table.RowCount();
    std::size_t size = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        if (OnlyChecked && !table.Checked(row))
            continue;
        for (int i = 0; i < TMeasurementTable::SubItemCount; ++i) {
            size += table.SubItem(row, i).size() + 1;
        }
    }
    std::string text;
    text.reserve(size);
    for (std::size_t row = 0; row < rows; ++row) {
        if (!OnlyChecked || table.Checked(row))
            table.AppendRowText(row, text);
    }
    return text;
}
