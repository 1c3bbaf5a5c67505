#include <algorithm>
#include <vector>

#include "export/uNativeXLSExport.h"

namespace {

// The device details' cells: the pieces before each TAB; a TAB at the very end adds none.
std::vector<std::string_view> DevicePieces(std::string_view details) {
    std::vector<std::string_view> pieces;
    while (!details.empty()) {
        const std::size_t tab = details.find('\t');
        pieces.push_back(details.substr(0, tab));
        details = tab == std::string_view::npos ? std::string_view() : details.substr(tab + 1);
    }
    return pieces;
}

bool Exported(const TMeasurementTable& table, std::size_t row, bool onlyChecked) {
    return !onlyChecked || table.Checked(row);
}

std::size_t ReplacedLength(std::string_view text, std::string_view separator) {
    const auto dots = static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
    return text.size() + dots * separator.size() - dots;
}

[[noreturn]] void Refuse(const std::string& fileName, const std::string& reason) {
    throw EXLSWriteError("Cannot export to \"" + fileName + "\": " + reason, fileName);
}

// What the writer's DIMENSIONS record declares with its defaults (MaxRows, MaxCols, each
// one past the last index): rows 0 to 65534, columns 0 to 99.
constexpr std::size_t DeclaredRows = 65535;
constexpr std::size_t DeclaredColumns = 100;

// Everything the file cannot hold is found before the file is touched: a cell count byte
// above 255 would corrupt it, and a cell outside the declared rows or columns lies outside
// the sheet the file announces.
void CheckFits(const TMeasurementTable& table, bool onlyChecked, bool exportHeader,
               const std::vector<std::string_view>& device, std::string_view separator,
               const std::string& fileName) {
    if (device.size() > DeclaredColumns)
        Refuse(fileName, "the device details have too many cells");
    for (const std::string_view piece : device) {
        if (piece.size() > 255) {
            Refuse(fileName, "a device detail is " + std::to_string(piece.size()) +
                                 " characters long; a cell holds at most 255");
        }
    }
    std::size_t rows = (device.empty() ? 0 : 1) + (exportHeader ? 1 : 0);
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        if (!Exported(table, row, onlyChecked))
            continue;
        ++rows;
        for (int i = 0; i < TMeasurementTable::SubItemCount; ++i) {
            const std::size_t length = ReplacedLength(table.SubItem(row, i), separator);
            if (length > 255) {
                Refuse(fileName, "the text in row " + std::to_string(row + 1) + ", column " +
                                     table.Caption(i + 1) + " is " + std::to_string(length) +
                                     " characters long; a cell holds at most 255");
            }
        }
    }
    if (rows > DeclaredRows) {
        Refuse(fileName, std::to_string(rows) + " rows do not fit; the file holds at most " +
                             std::to_string(DeclaredRows) + " rows");
    }
}

void ReplaceDots(std::string_view text, std::string_view separator, std::string& out) {
    out.clear();
    for (const char c : text) {
        if (c == '.') {
            out.append(separator);
        } else {
            out += c;
        }
    }
}

}  // namespace

void ExportListViewToXLS(const TMeasurementTable& ListView, bool OnlyChecked, bool ExportHeader,
                         std::string_view DeviceDetails, std::string_view DecimalSeparator,
                         const std::string& FileName, const std::string& WritePath) {
    const std::vector<std::string_view> device = DevicePieces(DeviceDetails);
    CheckFits(ListView, OnlyChecked, ExportHeader, device, DecimalSeparator, FileName);

    TXLSWriter writer(FileName, WritePath);
    constexpr int columns = TMeasurementTable::ColumnCount;
    if (columns > writer.MaxCols)
        writer.MaxCols = static_cast<std::uint16_t>(columns + 1);
    writer.WriteBOF();
    writer.WriteDimensions();

    // The check-box column is never exported: cell i holds column i + 1.
    constexpr int cells = columns - 1;
    std::uint16_t row = 0;
    for (std::size_t column = 0; column < device.size(); ++column) {
        writer.WriteLabel(row, static_cast<std::uint16_t>(column), device[column]);
    }
    if (!device.empty())
        ++row;
    if (ExportHeader) {
        for (int i = 0; i < cells; ++i) {
            writer.WriteLabel(row, static_cast<std::uint16_t>(i), ListView.Caption(i + 1));
        }
        ++row;
    }
    const bool keepDots = DecimalSeparator == ".";
    std::string cell;
    for (std::size_t item = 0; item < ListView.RowCount(); ++item) {
        if (!Exported(ListView, item, OnlyChecked))
            continue;
        for (int i = 0; i < cells; ++i) {
            const std::string_view text = ListView.SubItem(item, i);
            if (keepDots) {
                writer.WriteLabel(row, static_cast<std::uint16_t>(i), text);
            } else {
                ReplaceDots(text, DecimalSeparator, cell);
                writer.WriteLabel(row, static_cast<std::uint16_t>(i), cell);
            }
        }
        ++row;
    }
    writer.WriteEOF();
    writer.Finish();
}
