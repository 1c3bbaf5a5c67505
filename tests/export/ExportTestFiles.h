#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/MeasurementTable.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"
#include "support/WorkedExample.h"

// A fresh folder per test and byte helpers for the file tests.
class ExportFolderTest : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return folder_.File(name); }

    static std::vector<std::uint8_t> Bytes(const std::string& path) {
        const std::string bytes = ReadFileBytes(path);
        return {bytes.begin(), bytes.end()};
    }
    static void Put(const std::string& path, const std::string& bytes) {
        WriteFileBytes(path, bytes);
    }

    TTempFolder folder_{"meridax-export"};
};

// "09 08 06 00" -> bytes
inline std::vector<std::uint8_t> Hex(const std::string& text) {
    const std::string bytes = HexBytes(text);
    return {bytes.begin(), bytes.end()};
}
// The Relative page of the export's worked example: rows 1 and 3 ticked.
inline TMeasurementTable WorkedExampleTable() {
    TMeasurementTable table(TTablePage::Relative);
    table.AddRow("1", "1", "1310", "0.25", "-10.5");
    table.AddRow("1", "2", "1310", "0.31", "-10.5");
    table.AddRow("1", "2", "1550", "0.3", "-10.4");
    table.SetChecked(0, true);
    table.SetChecked(2, true);
    return table;
}
