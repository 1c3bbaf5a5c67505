#include "data/MeasurementTable.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "data/NumberText.h"
#include "sys/LargeArrays.h"

namespace {

// The longest number text, as in -2.22507385850720E-308.
constexpr std::size_t MaxNumberText = 22;

}  // namespace

TMeasurementTable::TMeasurementTable(TTablePage page) : page_(page) {
    captions_ = {"", "Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"};
    if (page == TTablePage::Absolute) {
        captions_[4] = "dBm";
        captions_[5] = "";
    } else if (page == TTablePage::Relative) {
        captions_[4] = "dB";
    }
}

void TMeasurementTable::ThrowBadItem() {
    throw std::out_of_range("TMeasurementTable::SubItem");
}

void TMeasurementTable::SetAllChecked(bool checked) {
    std::fill(checked_.begin(), checked_.end(), checked ? 1 : 0);
}

const std::uint32_t* TMeasurementTable::LongRowEnds(std::size_t row) const {
    return longRows_.at(row).data();
}

void TMeasurementTable::AddRow(std::string_view cable, std::string_view fiber,
                               std::string_view waveLength, std::string_view value,
                               std::string_view reference) {
    const std::size_t added = cable.size() + fiber.size() + waveLength.size() + value.size() +
                              reference.size() + SubItemCount;
    // Offsets are 32-bit to keep a million rows small.
    if (text_.size() + added > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("the table's texts exceed 4 GiB");
    }
    const std::size_t row = RowCount();
    const auto rowStart = static_cast<std::uint32_t>(text_.size());
    std::array<std::uint32_t, 4> ends{};
    int i = 0;
    for (const std::string_view item : {cable, fiber, waveLength, value}) {
        text_.append(item);
        text_ += '@';
        ends[static_cast<std::size_t>(i++)] = static_cast<std::uint32_t>(text_.size());
    }
    text_.append(reference);
    text_ += '^';
    if (ends[3] - rowStart <= 255) {
        for (const std::uint32_t end : ends) {
            itemEnds_.push_back(static_cast<std::uint8_t>(end - rowStart));
        }
    } else {
        itemEnds_.insert(itemEnds_.end(), 4, 0);
        longRows_.emplace(row, ends);
    }
    rowStarts_.push_back(static_cast<std::uint32_t>(text_.size()));
    checked_.push_back(0);
}

void TMeasurementTable::AppendRowText(std::size_t row, std::string& out) const {
    if (row >= RowCount())
        ThrowBadItem();
    const std::uint32_t rowStart = rowStarts_[row];
    const std::uint32_t rowEnd = rowStarts_[row + 1];
    const std::uint32_t valueEnd =
        itemEnds_[row * 4] == 0 ? LongRowEnds(row)[3] : rowStart + itemEnds_[row * 4 + 3];
    const char* text = text_.data();
    if (rowEnd - valueEnd > 1) {
        out.append(text + rowStart, rowEnd - rowStart);
    } else {
        // Without a reference the "@" after the value becomes the row's "^".
        out.append(text + rowStart, valueEnd - 1 - rowStart);
        out += '^';
    }
}

void TMeasurementTable::Clear() noexcept {
    text_.clear();
    rowStarts_.assign(1, 0);
    itemEnds_.clear();
    longRows_.clear();
    checked_.clear();
}

void TMeasurementTable::Reserve(std::size_t rows, std::size_t textBytes) {
    rowStarts_.reserve(rows + 1);
    itemEnds_.reserve(rows * 4);
    checked_.reserve(rows);
    text_.reserve(textBytes + rows * SubItemCount);  // and the separators
    AdviseHugePages(text_.data(), text_.capacity());
}

void TMeasurementTable::ShrinkToFit() {
    text_.shrink_to_fit();
    rowStarts_.shrink_to_fit();
    itemEnds_.shrink_to_fit();
    checked_.shrink_to_fit();
}

void FillListItem(TMeasurementTable& table, const TMeranie& record) {
    char waveLength[MaxFloatText];
    char value[MaxFloatText];
    char reference[MaxFloatText];
    const std::size_t referenceSize =
        record.IsRelative ? FormatFloat(record.Reference, reference) : 0;
    table.AddRow(record.Cable, record.Fiber,
                 std::string_view(waveLength, FormatFloat(record.WaveLength, waveLength)),
                 std::string_view(value, FormatFloat(record.Value, value)),
                 std::string_view(reference, referenceSize));
}

namespace {

bool OnPage(const TMeranie& record, TTablePage page) {
    switch (page) {
        case TTablePage::Absolute:
            return !record.IsRelative;
        case TTablePage::Relative:
            return record.IsRelative;
        case TTablePage::All:
            break;
    }
    return true;
}

}  // namespace

void FillMeasurementTable(const TMeraniaArray& records, TMeasurementTable& table) {
    table.Clear();
    std::size_t rows = 0;
    std::size_t textBytes = 0;
    for (const TMeranie& record : records) {
        if (!OnPage(record, table.Page()))
            continue;
        ++rows;
        textBytes += record.Cable.size() + record.Fiber.size() + 3 * MaxNumberText;
    }
    // An upper bound: the pages never written to stay out of memory.
    table.Reserve(rows, textBytes);
    AppendMeasurementRows(records, table);
}

void AppendMeasurementRows(const TMeraniaArray& records, TMeasurementTable& table) {
    for (const TMeranie& record : records) {
        if (OnPage(record, table.Page()))
            FillListItem(table, record);
    }
}

void ReserveForDump(TMeasurementTable& table, std::size_t records, std::size_t textBytes) {
    table.Reserve(records, textBytes + records * 3 * MaxNumberText);
}

void FillMeasurementTables(const TMeraniaArray& records, TMeasurementTable& all,
                           TMeasurementTable& absolute, TMeasurementTable& relative) {
    FillMeasurementTable(records, all);
    FillMeasurementTable(records, absolute);
    FillMeasurementTable(records, relative);
}
