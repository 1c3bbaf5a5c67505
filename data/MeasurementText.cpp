#include "data/MeasurementText.h"

std::string ListViewToText(const TMeasurementTable& table, bool OnlyChecked) {
    std::string text;
    const std::size_t rows = table.RowCount();
    std::size_t size = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        if (OnlyChecked && !table.Checked(row))
            continue;
        for (int i = 0; i < TMeasurementTable::SubItemCount; ++i) {
            size += table.SubItem(row, i).size() + 1;
        }
    }
    text.reserve(size);
    for (std::size_t row = 0; row < rows; ++row) {
        if (OnlyChecked && !table.Checked(row))
            continue;
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                text += '@';
            text.append(table.SubItem(row, i));
        }
        const std::string_view reference = table.SubItem(row, 4);
        if (!reference.empty()) {
            text += '@';
            text.append(reference);
        }
        text += '^';
    }
    return text;
}
