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
