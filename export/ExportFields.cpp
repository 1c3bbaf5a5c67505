#include "export/ExportFields.h"

std::vector<std::string_view> DeviceFields(std::string_view deviceDetails) {
    std::vector<std::string_view> fields;
    while (!deviceDetails.empty()) {
        const std::size_t tab = deviceDetails.find('\t');
        fields.push_back(deviceDetails.substr(0, tab));
        deviceDetails =
            tab == std::string_view::npos ? std::string_view() : deviceDetails.substr(tab + 1);
    }
    return fields;
}

std::size_t ExportedRowCount(const TMeasurementTable& table, bool onlyChecked) {
    if (!onlyChecked)
        return table.RowCount();
    std::size_t count = 0;
    for (std::size_t row = 0; row < table.RowCount(); ++row)
        count += table.Checked(row) ? 1 : 0;
    return count;
}

std::vector<std::string_view> Captions(const TMeasurementTable& table, bool withVerdicts) {
    std::vector<std::string_view> captions;
    for (int column = 1; column < TMeasurementTable::ColumnCount; ++column)
        captions.push_back(table.Caption(column));
    if (withVerdicts)
        captions.insert(captions.end(), {"Loss (dB)", "Limit (dB)", "Margin (dB)", "Verdict"});
    return captions;
}
