#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/uMeranie.h"

enum class TTablePage { All = 0, Absolute = 1, Relative = 2 };

// A measurement view as plain data: six column captions (column 0, the check-box column,
// has none) and rows of a check flag, an empty caption and five sub-item texts (cable,
// fiber, wavelength, value, reference). The texts of all rows share one buffer so that
// a million rows stay small.
class TMeasurementTable {
public:
    static constexpr int ColumnCount = 6;
    static constexpr int SubItemCount = 5;

    explicit TMeasurementTable(TTablePage page = TTablePage::All);

    TTablePage Page() const noexcept { return page_; }
    const std::string& Caption(int column) const { return captions_.at(column); }

    std::size_t RowCount() const noexcept { return checked_.size(); }
    std::string_view SubItem(std::size_t row, int index) const {
        if (row >= RowCount() || index < 0 || index >= SubItemCount)
            ThrowBadItem();
        const std::size_t at = row * SubItemCount + static_cast<std::size_t>(index);
        // Every item is stored with the separator that follows it in the measurement text.
        return std::string_view(text_.data() + starts_[at], starts_[at + 1] - starts_[at] - 1);
    }

    // Appends the row's measurement text: sub-items 0 to 3 joined by "@", then "@" and
    // sub-item 4 when it is not empty, then "^".
    void AppendRowText(std::size_t row, std::string& out) const;
    bool Checked(std::size_t row) const { return checked_.at(row) != 0; }
    void SetChecked(std::size_t row, bool checked) { checked_.at(row) = checked ? 1 : 0; }
    void SetAllChecked(bool checked);

    void AddRow(std::string_view cable, std::string_view fiber, std::string_view waveLength,
                std::string_view value, std::string_view reference);
    void Clear() noexcept;
    void Reserve(std::size_t rows, std::size_t textBytes);
    void ShrinkToFit();

private:
    [[noreturn]] static void ThrowBadItem();

    TTablePage page_;
    std::array<std::string, ColumnCount> captions_;
    // The rows' items, each followed by the separator it has in the measurement text ("@"
    // after the first four, "^" after the fifth), so a row's text is copied in one go.
    std::string text_;
    // Start of each sub-item in text_; row r's item i spans
    // [starts_[r * 5 + i], starts_[r * 5 + i + 1] - 1).
    std::vector<std::uint32_t> starts_{0};
    std::vector<std::uint8_t> checked_;
};

// Appends the row of one record, texts as the views show them.
void FillListItem(TMeasurementTable& table, const TMeranie& record);

// Empties table and fills it from the records that belong on its page, in their order; all
// rows unticked.
void FillMeasurementTable(const TMeraniaArray& records, TMeasurementTable& table);

// Empties the three tables and fills them from records: every record in all, each also in
// absolute or relative by its IsRelative flag. All rows unticked.
void FillMeasurementTables(const TMeraniaArray& records, TMeasurementTable& all,
                           TMeasurementTable& absolute, TMeasurementTable& relative);
