#include "jobs/JobResults.h"

#include "data/Latin1Utf8.h"
#include "jobs/JobLimits.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace {

// What tells readings of one key apart.
struct TReadingKey {
    std::string_view Cable;
    std::string_view Fiber;
    int WaveLength = 0;
    bool Relative = false;
    TDirection Direction = TDirection::None;

    bool operator==(const TReadingKey&) const = default;
};

struct TReadingKeyHash {
    std::size_t operator()(const TReadingKey& key) const noexcept {
        const std::hash<std::string_view> text;
        std::size_t hash = text(key.Cable);
        hash = hash * 31 + text(key.Fiber);
        hash = hash * 31 + static_cast<std::size_t>(static_cast<unsigned>(key.WaveLength));
        return hash * 7 + static_cast<std::size_t>(key.Direction) * 2 + (key.Relative ? 1 : 0);
    }
};

// A reading as it took part, in the order readings were taken (Order).
struct TPlaced {
    const TStoredReading* Reading = nullptr;
    std::int64_t Download = 0;
    std::size_t Order = 0;
};

struct TKeyState {
    TReadingKey Key;
    TPlaced Current;
    std::vector<TPlaced> History;  // oldest first
    std::string_view Fiber;        // the fibre's name as first seen
};

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Readings of one key already agree on cable, fiber and kind.
bool SameFigures(const TMeranie& a, const TMeranie& b) {
    return SameBits(a.WaveLength, b.WaveLength) && SameBits(a.Value, b.Value) &&
           SameBits(a.Reference, b.Reference);
}

int RoundedWaveLength(double waveLength) {
    if (std::isnan(waveLength))
        return 0;
    if (waveLength >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (waveLength <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(std::lround(waveLength));
}

// The downloads that take part, in the order their readings are taken.
std::vector<const TDownload*> OrderedDownloads(const std::vector<TDownload>& downloads) {
    std::vector<const TDownload*> ordered;
    for (const TDownload& download : downloads) {
        if (!download.Void)
            ordered.push_back(&download);
    }
    std::sort(ordered.begin(), ordered.end(), [](const TDownload* a, const TDownload* b) {
        // The records hash decides between downloads of one date and time, in every archive
        // alike; the number only where there is none (records not from an archive).
        return std::tie(a->TestDate, a->AddedAt, a->RecordsSha256, a->Sha256, a->Number) <
               std::tie(b->TestDate, b->AddedAt, b->RecordsSha256, b->Sha256, b->Number);
    });
    return ordered;
}

// FAIL outranks CHECK, CHECK outranks PASS, PASS outranks no verdict.
int Rank(TVerdictKind kind) {
    return kind == TVerdictKind::Fail    ? 3
           : kind == TVerdictKind::Check ? 2
           : kind == TVerdictKind::Pass  ? 1
                                         : 0;
}

TVerdictKind Worse(TVerdictKind a, TVerdictKind b) {
    return Rank(b) > Rank(a) ? b : a;
}

// Whether a is the worse of two directions: the smaller margin (a FAIL's is below zero, a
// PASS's not), else (no limit) the greater loss. A gain's CHECK is no loss: the pair is
// CHECK whatever its figures.
bool WorseReading(const TVerdict& a, const TVerdict& b) {
    if (a.Margin && b.Margin)
        return *a.Margin < *b.Margin;
    return a.Loss && b.Loss && *a.Loss > *b.Loss;
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

// The fibre a fiber text names within its cable: a text of digits only by its number ("7",
// "07" and "007" name one fibre, "0" and "00" another), any other text as it is. A number's
// key is all digits, so it never equals another text's.
std::string_view FibreKey(std::string_view fiber) {
    if (!IsDigits(fiber))
        return fiber;
    const std::string_view digits = WithoutLeadingZeros(fiber);
    return digits.empty() ? fiber.substr(fiber.size() - 1) : digits;
}

// Fibers whose texts are numbers first, in number order (equal numbers by text), then the
// others in byte order.
int CompareFibers(std::string_view a, std::string_view b) {
    const bool aNumber = IsDigits(a);
    const bool bNumber = IsDigits(b);
    if (aNumber != bNumber)
        return aNumber ? -1 : 1;
    if (aNumber) {
        const std::string_view aValue = WithoutLeadingZeros(a);
        const std::string_view bValue = WithoutLeadingZeros(b);
        if (aValue.size() != bValue.size())
            return aValue.size() < bValue.size() ? -1 : 1;
        if (const int order = aValue.compare(bValue); order != 0)
            return order;
    }
    return a.compare(b);
}

bool RowBefore(const TResultRow& a, const TResultRow& b) {
    if (const int cable = a.Cable.compare(b.Cable); cable != 0)
        return cable < 0;
    if (const int fiber = CompareFibers(a.Fiber, b.Fiber); fiber != 0)
        return fiber < 0;
    return std::tuple(a.WaveLengthKey, !a.IsRelative, a.Shape, a.Reading.Direction) <
           std::tuple(b.WaveLengthKey, !b.IsRelative, b.Shape, b.Reading.Direction);
}

}  // namespace

namespace {

// Takes the downloads' readings in order and makes the rows of what is current.
class TResultsBuilder {
public:
    TResultsBuilder(const TBudget& budget, std::size_t readings)
        : judge_(budget), keys_(BudgetWavelengths(budget)), rule_(EffectivePairRule(budget)) {
        indexOfKey_.reserve(readings);
        states_.reserve(readings);
    }

    void Take(const TDownload& download) {
        for (const TStoredReading& reading : download.Readings)
            Place(reading, download.Number);
    }

    std::vector<TResultRow> Rows() const;
    TPairRule Rule() const noexcept { return rule_; }
    TJobCounts Counts(const std::vector<TResultRow>& rows) const;

private:
    int WaveLengthKey(double waveLength);
    void Place(const TStoredReading& reading, std::int64_t download);
    TRowReading Judged(const TPlaced& placed) const;
    THistoryReading HistoryReading(const TPlaced& placed) const;
    TResultRow Row(const TKeyState& state, TRowShape shape) const;
    TResultRow PairRow(const TKeyState& aToB, const TKeyState& bToA) const;

    TVerdictJudge judge_;
    std::vector<int> keys_;
    TPairRule rule_;
    std::unordered_map<TReadingKey, std::size_t, TReadingKeyHash> indexOfKey_;
    std::vector<TKeyState> states_;
    // A fibre's name as first seen, by cable and FibreKey (the other fields of the key unset).
    std::unordered_map<TReadingKey, std::string_view, TReadingKeyHash> fibreNames_;
    std::size_t taken_ = 0;
    std::size_t repeats_ = 0;
    // A download holds runs of one wavelength: the last one's key is kept.
    double lastWaveLength_ = std::numeric_limits<double>::quiet_NaN();
    int lastKey_ = 0;
    // The record an average is judged as, kept so that its texts' room is reused.
    mutable TMeranie average_;
};

int TResultsBuilder::WaveLengthKey(double waveLength) {
    if (SameBits(waveLength, lastWaveLength_))
        return lastKey_;
    const std::optional<int> key = NearestWavelength(keys_, waveLength);
    lastWaveLength_ = waveLength;
    lastKey_ = key ? *key : RoundedWaveLength(waveLength);
    return lastKey_;
}

void TResultsBuilder::Place(const TStoredReading& reading, std::int64_t download) {
    const TMeranie& record = reading.Record;
    const TReadingKey key{record.Cable, FibreKey(record.Fiber), WaveLengthKey(record.WaveLength),
                          record.IsRelative, reading.Direction};
    const TPlaced placed{&reading, download, taken_++};
    const auto [found, added] = indexOfKey_.try_emplace(key, states_.size());
    if (added) {
        const auto name =
            fibreNames_.try_emplace(TReadingKey{key.Cable, key.Fiber}, record.Fiber).first;
        states_.push_back({key, placed, {}, name->second});
        return;
    }
    TKeyState& state = states_[found->second];
    const auto same = [&](const TPlaced& earlier) {
        return SameFigures(earlier.Reading->Record, record);
    };
    // A meter keeps its memory: a reading seen before, current or not, changes nothing.
    if (same(state.Current) || std::any_of(state.History.begin(), state.History.end(), same)) {
        ++repeats_;
        return;
    }
    state.History.push_back(state.Current);
    state.Current = placed;
}

TRowReading TResultsBuilder::Judged(const TPlaced& placed) const {
    const TMeranie& record = placed.Reading->Record;
    return {record.WaveLength,         record.Value,    record.Reference,
            placed.Reading->Direction, placed.Download, judge_.Judge(record)};
}

THistoryReading TResultsBuilder::HistoryReading(const TPlaced& placed) const {
    const TMeranie& record = placed.Reading->Record;
    return {record.WaveLength,         record.Value,    record.Reference,
            placed.Reading->Direction, placed.Download, judge_.Judge(record).Loss};
}

TResultRow TResultsBuilder::Row(const TKeyState& state, TRowShape shape) const {
    TResultRow row;
    const TMeranie& record = state.Current.Reading->Record;
    row.Cable = record.Cable;
    row.Fiber = state.Fiber;
    row.WaveLengthKey = state.Key.WaveLength;
    row.IsRelative = record.IsRelative;
    row.Shape = shape;
    row.Reading = Judged(state.Current);
    row.Loss = row.Reading.Verdict.Loss;
    row.Limit = row.Reading.Verdict.Limit;
    row.Margin = row.Reading.Verdict.Margin;
    row.Kind = row.Reading.Verdict.Kind;
    row.History.reserve(state.History.size());
    for (const TPlaced& earlier : state.History)
        row.History.push_back(HistoryReading(earlier));
    return row;
}

TResultRow TResultsBuilder::PairRow(const TKeyState& aToB, const TKeyState& bToA) const {
    TResultRow row = Row(aToB, TRowShape::Pair);
    row.Partner = Judged(bToA.Current);
    // The average is judged as a reading of the a-b one's cable and wavelength, so that its
    // limit is the one the directions were judged by.
    const TMeranie& record = aToB.Current.Reading->Record;
    average_.Cable = record.Cable;
    average_.Fiber = record.Fiber;
    average_.WaveLength = record.WaveLength;
    average_.IsRelative = true;
    average_.Value = record.Value * 0.5 + bToA.Current.Reading->Record.Value * 0.5;
    const TVerdict averaged = judge_.Judge(average_);
    row.Average = averaged.Loss;
    // The pair's figures are those its verdict is made of, so that a FAIL has a margin below
    // zero under either rule.
    TVerdict judged = averaged;
    if (rule_ == TPairRule::Worst) {
        const bool baWorse = WorseReading(row.Partner.Verdict, row.Reading.Verdict);
        row.WorseDirection = baWorse ? TDirection::BToA : TDirection::AToB;
        judged = baWorse ? row.Partner.Verdict : row.Reading.Verdict;
    }
    row.Loss = judged.Loss;
    row.Limit = judged.Limit;
    row.Margin = judged.Margin;
    const TVerdictKind ab = row.Reading.Verdict.Kind;
    const TVerdictKind ba = row.Partner.Verdict.Kind;
    // A direction whose reference was wrong must be measured again before the fibre is judged,
    // whichever the rule: a CHECK makes the pair CHECK.
    if (ab == TVerdictKind::Check || ba == TVerdictKind::Check)
        row.Kind = TVerdictKind::Check;
    else if (rule_ == TPairRule::Worst)
        row.Kind = Worse(ab, ba);
    else
        row.Kind = averaged.Kind;
    // Both directions' history, oldest first.
    std::vector<TPlaced> earlier(aToB.History.size() + bToA.History.size());
    std::merge(aToB.History.begin(), aToB.History.end(), bToA.History.begin(), bToA.History.end(),
               earlier.begin(),
               [](const TPlaced& a, const TPlaced& b) { return a.Order < b.Order; });
    row.History.clear();
    for (const TPlaced& one : earlier)
        row.History.push_back(HistoryReading(one));
    return row;
}

std::vector<TResultRow> TResultsBuilder::Rows() const {
    std::vector<TResultRow> rows;
    rows.reserve(states_.size());
    for (const TKeyState& state : states_) {
        const TReadingKey& key = state.Key;
        if (!key.Relative) {
            rows.push_back(Row(state, TRowShape::Absolute));
            continue;
        }
        if (key.Direction == TDirection::None) {
            rows.push_back(Row(state, TRowShape::Single));
            continue;
        }
        TReadingKey other = key;
        other.Direction = key.Direction == TDirection::AToB ? TDirection::BToA : TDirection::AToB;
        const auto partner = indexOfKey_.find(other);
        if (partner == indexOfKey_.end())
            rows.push_back(Row(state, TRowShape::OneDirection));
        else if (key.Direction == TDirection::AToB)
            rows.push_back(PairRow(state, states_[partner->second]));
    }
    return rows;
}

TJobCounts TResultsBuilder::Counts(const std::vector<TResultRow>& rows) const {
    TJobCounts counts;
    for (const TResultRow& row : rows) {
        counts.Rows.Add(row.Kind);
        counts.Pairs += row.Shape == TRowShape::Pair ? 1 : 0;
        counts.OneDirection += row.Shape == TRowShape::OneDirection ? 1 : 0;
    }
    counts.Current = states_.size();
    for (const TKeyState& state : states_)
        counts.History += state.History.size();
    counts.Repeats = repeats_;
    return counts;
}

// Rows come sorted, so a fibre's rows are together. Every current reading counts: a fibre
// whose power is out of its window fails as one whose loss is too high.
std::vector<TFibreResult> FibreResultsOf(const std::vector<TResultRow>& rows) {
    std::vector<TFibreResult> fibres;
    for (const TResultRow& row : rows) {
        if (fibres.empty() || fibres.back().Cable != row.Cable || fibres.back().Fiber != row.Fiber)
            fibres.push_back({row.Cable, row.Fiber, TVerdictKind::None});
        fibres.back().Kind = Worse(fibres.back().Kind, row.Kind);
    }
    return fibres;
}

// The fibre number a fiber text names, 0 for none.
long long FibreNumber(std::string_view fiber) {
    if (!IsDigits(fiber))
        return 0;
    const std::string_view digits = WithoutLeadingZeros(fiber);
    if (digits.empty() || digits.size() > 12)
        return 0;
    long long number = 0;
    for (const char digit : digits)
        number = number * 10 + (digit - '0');
    return number;
}

TJobCompleteness CompletenessOf(const std::map<std::string, int>& expected,
                                const std::vector<TResultRow>& rows) {
    TJobCompleteness completeness;
    std::unordered_map<std::string, std::size_t> indexOfCable;  // by the records' Latin-1
    std::vector<std::vector<bool>> tested;
    for (const auto& [cable, stored] : expected) {
        // A count stored before the archives kept their limits may be any int: the list of
        // untested fibres must not take all memory.
        const int fibres = std::clamp(stored, 0, MaxExpectedFibres);
        if (const auto latin1 = Utf8ToLatin1(cable))
            indexOfCable.emplace(*latin1, completeness.Cables.size());
        completeness.Cables.push_back({cable, fibres, 0, {}});
        tested.emplace_back(static_cast<std::size_t>(fibres), false);
    }
    for (const TResultRow& row : rows) {
        const auto cable = indexOfCable.find(row.Cable);
        const long long number = cable == indexOfCable.end() ? 0 : FibreNumber(row.Fiber);
        if (number > 0 && static_cast<std::size_t>(number) <= tested[cable->second].size())
            tested[cable->second][static_cast<std::size_t>(number - 1)] = true;
    }
    for (std::size_t index = 0; index < tested.size(); ++index) {
        TCableCompleteness& cable = completeness.Cables[index];
        for (std::size_t fibre = 0; fibre < tested[index].size(); ++fibre) {
            if (tested[index][fibre])
                ++cable.Tested;
            else
                cable.Untested.push_back(std::to_string(fibre + 1));
        }
        completeness.Expected += cable.Expected;
        completeness.Tested += cable.Tested;
    }
    return completeness;
}

std::vector<TVoidDownload> VoidDownloadsOf(const std::vector<TDownload>& downloads) {
    std::vector<TVoidDownload> voids;
    for (const TDownload& download : downloads) {
        if (download.Void)
            voids.push_back({download.Number, download.VoidReason, download.RecordsSha256});
    }
    return voids;
}

}  // namespace

std::string CompletenessText(const TJobCompleteness& completeness) {
    return std::to_string(completeness.Tested) + " of " + std::to_string(completeness.Expected) +
           (completeness.Expected == 1 ? " fibre tested" : " fibres tested");
}

TJobResults ComputeJobResults(const TBudget& budget,
                              const std::map<std::string, int>& expectedFibres,
                              const std::vector<TDownload>& downloads) {
    const std::vector<const TDownload*> ordered = OrderedDownloads(downloads);
    std::size_t readings = 0;
    for (const TDownload* download : ordered)
        readings += download->Readings.size();
    TResultsBuilder builder(budget, readings);
    for (const TDownload* download : ordered)
        builder.Take(*download);
    TJobResults results;
    results.Rows = builder.Rows();
    results.PairRule = builder.Rule();
    std::sort(results.Rows.begin(), results.Rows.end(), RowBefore);
    results.Counts = builder.Counts(results.Rows);
    results.Counts.Downloads = ordered.size();
    results.VoidDownloads = VoidDownloadsOf(downloads);
    results.Counts.VoidDownloads = results.VoidDownloads.size();
    results.Fibres = FibreResultsOf(results.Rows);
    results.Completeness = CompletenessOf(expectedFibres, results.Rows);
    return results;
}

TJobResults ComputeJobResults(const TJob& job, const std::vector<TDownload>& downloads) {
    const TBudget budget =
        job.Budgets.empty() ? TBudget{} : ParseBudget(job.Budgets.back().Json, "job " + job.Name);
    return ComputeJobResults(budget, job.ExpectedFibres, downloads);
}
