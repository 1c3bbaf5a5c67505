#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/MeasurementTable.h"

// A fresh folder per test and byte helpers for the file tests.
class ExportFolderTest : public testing::Test {
protected:
    // A parameterized test's name holds a "/", which would nest the folder.
    static std::string FolderName() {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        return name;
    }
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("meridax-export-" + std::to_string(::getpid()) + "-" + FolderName());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static std::vector<std::uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::filesystem::path folder_;
};

// "09 08 06 00" -> bytes
inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t p = 0; p + 1 < text.size(); p += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(p, 2), nullptr, 16)));
    }
    return bytes;
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
