#include "jobs/JobReportColumns.h"

std::size_t DirectionColumn(TDirection direction) {
    switch (direction) {
        case TDirection::AToB:
            return AToBColumn;
        case TDirection::BToA:
            return BToAColumn;
        case TDirection::None:
            break;
    }
    return AverageColumn;
}

namespace {

// The current reading a row shows in column, nullptr where it shows none.
const TRowReading* ReadingInColumn(const TResultRow& row, std::size_t column) {
    if (row.Shape == TRowShape::Pair)
        return column == AToBColumn ? &row.Reading : column == BToAColumn ? &row.Partner : nullptr;
    return DirectionColumn(row.Reading.Direction) == column ? &row.Reading : nullptr;
}

}  // namespace

int ColumnDecimals(const TResultRow& row, std::size_t column) {
    const int limit = row.IsRelative && row.Limit ? LimitDecimals(*row.Limit) : 2;
    switch (column) {
        case LimitColumn:
            return limit;
        case MarginColumn:
            return row.Margin ? MarginDecimals(*row.Margin, limit) : limit;
        default:
            break;
    }
    if (!row.IsRelative)
        return 2;
    if (row.Shape == TRowShape::Pair && column == AverageColumn)
        return row.Average ? LossDecimals(*row.Average, row.Limit) : limit;
    const TRowReading* reading = ReadingInColumn(row, column);
    if (reading == nullptr || !reading->Verdict.Loss)
        return limit;
    return LossDecimals(*reading->Verdict.Loss, reading->Verdict.Limit);
}

std::string RowNote(const TResultRow& row) {
    std::string note;
    switch (row.Shape) {
        case TRowShape::OneDirection:
            note = "one direction";
            break;
        case TRowShape::Absolute:
            note = "absolute (dBm)";
            break;
        case TRowShape::Single:
            note = "no direction";
            break;
        case TRowShape::Pair:
            break;
    }
    if (!row.History.empty())
        note += note.empty() ? "re-tested" : "; re-tested";
    return note;
}

TFigure ShownFigure(const TResultRow& row, const TRowReading& reading) {
    return row.IsRelative ? reading.Verdict.Loss : TFigure(reading.Value);
}
