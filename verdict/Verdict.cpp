#include "verdict/Verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "data/CountText.h"
#include "data/Latin1Utf8.h"
#include "data/NumberText.h"

namespace {

// Sums of a few doubles miss a limit given with two decimals by a few units in the last
// place; a reading that close to its limit is on it.
constexpr double RoundOff = 1e-9;

// More decimals than a double's 17 significant digits can fill are never needed.
constexpr int MostDecimals = 17;

double Snapped(double margin) {
    return std::fabs(margin) < RoundOff ? 0.0 : margin;
}

// A figure beyond any double (a sum of huge readings or budget figures) is no figure.
TFigure FiniteOrNone(double value) {
    return std::isfinite(value) ? TFigure(value) : TFigure();
}

template <typename Map>
std::vector<std::pair<int, typename Map::mapped_type>> ToArray(const Map& map) {
    return {map.begin(), map.end()};
}

}  // namespace

const char* VerdictText(TVerdictKind kind) {
    switch (kind) {
        case TVerdictKind::Pass:
            return "PASS";
        case TVerdictKind::Fail:
            return "FAIL";
        case TVerdictKind::Check:
            return "CHECK";
        case TVerdictKind::None:
            break;
    }
    return "";
}

std::string TwoDecimals(double value) {
    return FixedText(value, 2);
}

int LimitDecimals(double limit) {
    // A report asks for a few limits a million times over: the last answer is kept.
    thread_local double lastLimit = std::numeric_limits<double>::quiet_NaN();
    thread_local int lastDecimals = 2;
    if (!(limit == lastLimit)) {
        lastDecimals = DecimalsNeeded(limit, 2, 3);
        lastLimit = limit;
    }
    return lastDecimals;
}

int LossDecimals(double loss, const TFigure& limit) {
    if (!limit)
        return 2;
    int decimals = LimitDecimals(*limit);
    // Over the limit as the verdict judges it, the loss shows the digit that tells them apart.
    while (loss - *limit > RoundOff && decimals < MostDecimals &&
           FixedText(loss, decimals) == FixedText(*limit, decimals))
        ++decimals;
    return decimals;
}

int MarginDecimals(double margin, int least) {
    int decimals = least;
    while (margin < 0 && decimals < MostDecimals &&
           FixedText(margin, decimals).find_first_of("123456789") == std::string::npos)
        ++decimals;
    return decimals;
}

std::string MarginText(double margin, int least) {
    return FixedText(margin, MarginDecimals(margin, least));
}

TVerdictDecimals VerdictDecimals(const TVerdict& verdict) {
    TVerdictDecimals decimals;
    if (verdict.Limit)
        decimals.Limit = LimitDecimals(*verdict.Limit);
    if (verdict.Loss)
        decimals.Loss = LossDecimals(*verdict.Loss, verdict.Limit);
    // An absolute reading's margin is to a power window, of readings with two decimals.
    const int least = verdict.Loss ? decimals.Limit : 2;
    decimals.Margin = verdict.Margin ? MarginDecimals(*verdict.Margin, least) : least;
    return decimals;
}

template <typename Value>
const Value* TVerdictJudge::Nearest(const TKeyedByWavelength<Value>& table, double waveLength) {
    // Keys come in ascending order, so a tie goes to the shorter one; a NaN matches none.
    const Value* best = nullptr;
    double bestDistance = 20;
    for (const auto& [key, value] : table) {
        const double distance = std::fabs(key - waveLength);
        if (distance < bestDistance || (distance == bestDistance && best == nullptr)) {
            bestDistance = distance;
            best = &value;
        }
    }
    return best;
}

TVerdictJudge::TVerdictJudge(const TBudget& budget)
    : lossSign_(budget.LossSign),
      gainToleranceDb_(EffectiveGainToleranceDb(budget)),
      maxLoss_(ToArray(budget.MaxLossDb)),
      power_(ToArray(budget.PowerDbm)) {
    for (const TLinkBudget& link : budget.Links) {
        TLinkLimit limit{link.LengthM / 1000.0, LinkFixedDb(budget, link),
                         ToArray(LinkAttenuation(budget, link))};
        if (link.Cable == "*")
            anyCable_ = std::move(limit);
        else if (const auto cable = Utf8ToLatin1(link.Cable))
            links_.emplace(*cable, std::move(limit));
    }
}

const TVerdictJudge::TLinkLimit* TVerdictJudge::LinkFor(const std::string& cable) const {
    if (!hasLastCable_ || cable != lastCable_) {
        const auto link = links_.find(cable);
        lastLink_ = link != links_.end() ? &link->second : anyCable_ ? &*anyCable_ : nullptr;
        lastCable_ = cable;
        hasLastCable_ = true;
    }
    return lastLink_;
}

TVerdict TVerdictJudge::Judge(const TMeranie& record) const {
    TVerdict verdict;
    if (!record.IsRelative) {
        const TPowerWindow* window = Nearest(power_, record.WaveLength);
        if (window == nullptr || (!window->Min && !window->Max))
            return verdict;
        double margin = INFINITY;
        if (window->Min)
            margin = std::min(margin, record.Value - *window->Min);
        if (window->Max)
            margin = std::min(margin, *window->Max - record.Value);
        verdict.Margin = FiniteOrNone(Snapped(margin));
        if (!verdict.Margin)
            return verdict;
        verdict.Kind = *verdict.Margin >= 0 ? TVerdictKind::Pass : TVerdictKind::Fail;
        return verdict;
    }
    const double loss = lossSign_ == TLossSign::Negative ? -record.Value : record.Value;
    verdict.Loss = loss;
    if (const double* maxLoss = Nearest(maxLoss_, record.WaveLength)) {
        verdict.Limit = *maxLoss;
    } else if (const TLinkLimit* limit = LinkFor(record.Cable)) {
        if (const double* attenuation = Nearest(limit->Attenuation, record.WaveLength))
            verdict.Limit = FiniteOrNone(limit->LengthKm * *attenuation + limit->FixedDb);
    }
    if (verdict.Limit) {
        verdict.Margin = FiniteOrNone(Snapped(*verdict.Limit - loss));
        if (!verdict.Margin)
            return verdict;
    }
    // A gain beyond the tolerance means the reference was taken wrong, whatever the limit.
    if (loss < -gainToleranceDb_ - RoundOff)
        verdict.Kind = TVerdictKind::Check;
    else if (verdict.Margin)
        verdict.Kind = *verdict.Margin >= 0 ? TVerdictKind::Pass : TVerdictKind::Fail;
    return verdict;
}

std::vector<TVerdict> JudgeRecords(const TBudget& budget, const TMeraniaArray& records) {
    const TVerdictJudge judge(budget);
    std::vector<TVerdict> verdicts;
    verdicts.reserve(records.size());
    for (const TMeranie& record : records)
        verdicts.push_back(judge.Judge(record));
    return verdicts;
}

std::vector<TVerdict> PageVerdicts(const std::vector<TVerdict>& verdicts,
                                   const TMeraniaArray& records, TTablePage page) {
    std::vector<TVerdict> onPage;
    const std::size_t count = std::min(verdicts.size(), records.size());
    for (std::size_t index = 0; index < count; ++index) {
        const bool relative = records[index].IsRelative;
        if (page == TTablePage::All || (page == TTablePage::Relative) == relative)
            onPage.push_back(verdicts[index]);
    }
    return onPage;
}

TVerdictCounts CountVerdicts(const std::vector<TVerdict>& verdicts) {
    TVerdictCounts counts;
    for (const TVerdict& verdict : verdicts)
        counts.Add(verdict.Kind);
    return counts;
}

std::string VerdictSummary(const TVerdictCounts& counts, std::string_view what) {
    std::string summary = GroupedCount(counts.Judged()) + " " + std::string(what) + ":";
    const std::pair<std::size_t, const char*> parts[] = {
        {counts.Pass, "pass"}, {counts.Fail, "fail"}, {counts.Check, "check"}};
    const char* separator = " ";
    for (const auto& [count, name] : parts) {
        if (count == 0)
            continue;
        summary += separator + GroupedCount(count) + " " + name;
        separator = ", ";
    }
    return summary;
}

void TFibreResultsBuilder::Add(const std::string& cable, const std::string& fiber,
                               const TVerdict& verdict, bool relative) {
    if (!relative)
        return;
    // A zero byte cannot be in a record's text, so it parts cable from fiber.
    const auto [found, added] = indexOfFibre_.try_emplace(cable + '\0' + fiber, results_.size());
    if (added)
        results_.push_back({cable, fiber, TVerdictKind::None});
    TVerdictKind& kind = results_[found->second].Kind;
    // FAIL outranks CHECK, CHECK outranks PASS, PASS outranks no verdict.
    const auto rank = [](TVerdictKind k) {
        return k == TVerdictKind::Fail    ? 3
               : k == TVerdictKind::Check ? 2
               : k == TVerdictKind::Pass  ? 1
                                          : 0;
    };
    if (rank(verdict.Kind) > rank(kind))
        kind = verdict.Kind;
}

std::vector<TFibreResult> FibreResults(const TMeraniaArray& records,
                                       const std::vector<TVerdict>& verdicts) {
    TFibreResultsBuilder builder;
    const std::size_t count = std::min(verdicts.size(), records.size());
    for (std::size_t index = 0; index < count; ++index) {
        const TMeranie& record = records[index];
        builder.Add(record.Cable, record.Fiber, verdicts[index], record.IsRelative);
    }
    return builder.Take();
}

TVerdictCounts CountFibreResults(const std::vector<TFibreResult>& results) {
    TVerdictCounts counts;
    for (const TFibreResult& result : results)
        counts.Add(result.Kind);
    return counts;
}

std::string FibreSummary(const TVerdictCounts& counts) {
    return VerdictSummary(counts, counts.Judged() == 1 ? "fibre" : "fibres");
}
