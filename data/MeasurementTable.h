#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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
        const std::uint32_t rowStart = rowStarts_[row];
        const std::uint8_t* ends = &itemEnds_[row * 4];
        const std::uint32_t* longEnds = ends[0] == 0 ? LongRowEnds(row) : nullptr;
        const auto end = [&](int i) -> std::uint32_t {
            return longEnds != nullptr ? longEnds[i] : rowStart + ends[i];
        };
        const std::uint32_t begin = index == 0 ? rowStart : end(index - 1);
        const std::uint32_t stop = index == 4 ? rowStarts_[row + 1] : end(index);
        // Every item is stored with the separator that follows it in the measurement text.
        return std::string_view(text_.data() + begin, stop - begin - 1);
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
    const std::uint32_t* LongRowEnds(std::size_t row) const;

    TTablePage page_;
    std::array<std::string, ColumnCount> captions_;
    // The rows' items, each followed by the separator it has in the measurement text ("@"
    // after the first four, "^" after the fifth), so a row's text is copied in one go.
    std::string text_;
    // Row r spans [rowStarts_[r], rowStarts_[r + 1]) of text_.
    std::vector<std::uint32_t> rowStarts_{0};
    // Per row, where items 0 to 3 end (their separator included), counted from the row's
    // start: four bytes a row instead of five offsets. A row whose first four items take
    // more than 255 bytes has 0 here and its ends, as offsets into text_, in longRows_.
    std::vector<std::uint8_t> itemEnds_;
    std::unordered_map<std::size_t, std::array<std::uint32_t, 4>> longRows_;
    std::vector<std::uint8_t> checked_;
};

// Appends the row of one record, texts as the views show them.
void FillListItem(TMeasurementTable& table, const TMeranie& record);

// Empties table and fills it from the records that belong on its page, in their order; all
// rows unticked.
void FillMeasurementTable(const TMeraniaArray& records, TMeasurementTable& table);

// Appends the rows of the records that belong on the table's page, in their order, unticked.
void AppendMeasurementRows(const TMeraniaArray& records, TMeasurementTable& table);

// Reserves room for at most records rows whose cables and fibers take at most textBytes.
void ReserveForDump(TMeasurementTable& table, std::size_t records, std::size_t textBytes);

// Empties the three tables and fills them from records: every record in all, each also in
// absolute or relative by its IsRelative flag. All rows unticked.
void FillMeasurementTables(const TMeraniaArray& records, TMeasurementTable& all,
                           TMeasurementTable& absolute, TMeasurementTable& relative);
