#include "jobs/JobTypes.h"

const char* DirectionName(TDirection direction) {
    switch (direction) {
        case TDirection::AToB:
            return "a-b";
        case TDirection::BToA:
            return "b-a";
        case TDirection::None:
            break;
    }
    return "";
}

std::optional<TDirection> FindDirection(std::string_view name) {
    for (TDirection direction : {TDirection::None, TDirection::AToB, TDirection::BToA}) {
        if (name == DirectionName(direction)) {
            return direction;
        }
    }
    return std::nullopt;
}

namespace {
bool SameRecord(const TMeranie& a, const TMeranie& b) {
    return a.Cable == b.Cable && a.Fiber == b.Fiber && a.WaveLength == b.WaveLength &&
           a.Value == b.Value && a.Reference == b.Reference && a.IsRelative == b.IsRelative;
}
}  // namespace

bool TDownload::operator==(const TDownload& other) const {
    if (Number != other.Number || Meter != other.Meter || Source != other.Source ||
        Operator != other.Operator || TestDate != other.TestDate || Direction != other.Direction ||
        AddedAt != other.AddedAt || Void != other.Void || VoidReason != other.VoidReason ||
        Sha256 != other.Sha256 || RecordsSha256 != other.RecordsSha256 ||
        Readings.size() != other.Readings.size()) {
        return false;
    }
    for (std::size_t i = 0; i < Readings.size(); ++i) {
        if (!SameRecord(Readings[i].Record, other.Readings[i].Record) ||
            Readings[i].Direction != other.Readings[i].Direction) {
            return false;
        }
    }
    return true;
}
