#include "app/budget/BudgetForm.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

#include "data/Errors.h"
#include "data/NumberText.h"

namespace {

// The budget file's own bounds for a count and a wavelength.
constexpr long long MostCount = 10000;
constexpr long long MostWaveLength = 100000;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool AllEmpty(const std::vector<std::string>& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const std::string& cell) { return Trimmed(cell).empty(); });
}

// Reads the cells of one table or the single fields; every problem names where it is.
class TFormReader {
public:
    TFormReader(TBudgetTable table, const char* field = nullptr) : table_(table), field_(field) {}

    void At(int row) { row_ = row; }

    [[noreturn]] void Fail(int column, const std::string& problem) const {
        std::string where;
        if (table_ == TBudgetTable::None) {
            where = field_;
        } else {
            where = std::string(BudgetTableName(table_)) + ", row " + std::to_string(row_ + 1) +
                    ", " + BudgetTableColumns(table_).at(static_cast<std::size_t>(column));
        }
        throw EBudgetFormError(where + ": " + problem, table_, row_, column);
    }

    std::string Cell(const std::vector<std::string>& row, int column) const {
        const auto at = static_cast<std::size_t>(column);
        return at < row.size() ? Trimmed(row[at]) : std::string();
    }

    double Number(const std::string& text, int column) const {
        if (text.empty())
            Fail(column, "is empty");
        std::string dotted = text;
        std::replace(dotted.begin(), dotted.end(), ',', '.');
        try {
            return TextToFloat(dotted);
        } catch (const EConvertError&) {
            Fail(column, QuoteForMessage(text) + " is not a number");
        }
    }

    double NonNegative(const std::string& text, int column) const {
        const double number = Number(text, column);
        if (number < 0)
            Fail(column, "must not be negative");
        return number;
    }

    std::optional<double> Optional(const std::string& text, bool nonNegative) const {
        if (text.empty())
            return std::nullopt;
        return nonNegative ? NonNegative(text, 0) : Number(text, 0);
    }

    long long Whole(const std::string& text, int column, long long least, long long most,
                    const char* what) const {
        if (text.empty())
            Fail(column, "is empty");
        long long number = 0;
        try {
            number = TextToInteger(text);
        } catch (const EConvertError&) {
            Fail(column, QuoteForMessage(text) + " is not " + what);
        }
        if (number < least || number > most)
            Fail(column, QuoteForMessage(text) + " is not " + what);
        return number;
    }

    int WaveLength(const std::vector<std::string>& row, std::map<int, int>& seen) const {
        const int waveLength = static_cast<int>(
            Whole(Cell(row, 0), 0, 1, MostWaveLength, "a whole number of nm, such as 1310"));
        const auto [earlier, added] = seen.emplace(waveLength, row_);
        if (!added)
            Fail(0, "repeats " + std::to_string(waveLength) + " nm of row " +
                        std::to_string(earlier->second + 1));
        return waveLength;
    }

private:
    TBudgetTable table_;
    const char* field_;
    int row_ = 0;
};

// Every bad cell of a form, so that OK names them all at once rather than one per click.
class TFormErrors {
public:
    // Runs read; a bad cell it finds is kept and the reading goes on with the next.
    template <typename Read>
    void Keep(Read&& read) {
        try {
            read();
        } catch (const EBudgetFormError& error) {
            errors_.push_back(error);
        }
    }

    // One line a bad cell, located at the first.
    void ThrowAny() const {
        if (errors_.empty())
            return;
        std::string message;
        for (const EBudgetFormError& error : errors_)
            message += (message.empty() ? "" : "\n") + std::string(error.what());
        const EBudgetFormError& first = errors_.front();
        throw EBudgetFormError(message, first.Table, first.Row, first.Column);
    }

private:
    std::vector<EBudgetFormError> errors_;
};

// Every non-empty row of a wavelength table through read(reader, row), in order.
template <typename Read>
void ForEachRow(const TFormRows& rows, TBudgetTable table, Read&& read) {
    TFormReader reader(table);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (AllEmpty(rows[index]))
            continue;
        reader.At(static_cast<int>(index));
        read(reader, rows[index]);
    }
}

TWavelengthTable WaveLengthFigures(const TFormRows& rows, TBudgetTable table, TFormErrors& errors) {
    TWavelengthTable figures;
    std::map<int, int> seen;
    ForEachRow(rows, table, [&](const TFormReader& reader, const std::vector<std::string>& row) {
        int waveLength = 0;
        errors.Keep([&] { waveLength = reader.WaveLength(row, seen); });
        errors.Keep([&] { figures[waveLength] = reader.NonNegative(reader.Cell(row, 1), 1); });
    });
    return figures;
}

TLinkBudget LinkFromRow(TFormReader& reader, const std::vector<std::string>& row,
                        std::set<std::string>& cables, TFormErrors& errors) {
    TLinkBudget link;
    errors.Keep([&] {
        link.Cable = reader.Cell(row, 0);
        if (link.Cable.empty())
            reader.Fail(0, "is empty (a cable's text, or * for every other cable)");
        if (!cables.insert(link.Cable).second)
            reader.Fail(0, "repeats the cable " + QuoteForMessage(link.Cable));
    });
    errors.Keep([&] { link.LengthM = reader.NonNegative(reader.Cell(row, 1), 1); });
    // A link without connectors or splices leaves their cells empty.
    const auto count = [&](int column) {
        const std::string text = reader.Cell(row, column);
        return text.empty() ? 0
                            : static_cast<int>(reader.Whole(text, column, 0, MostCount,
                                                            "a whole number from 0 to 10000"));
    };
    errors.Keep([&] { link.Connectors = count(2); });
    errors.Keep([&] { link.Splices = count(3); });
    errors.Keep([&] {
        link.Preset = reader.Cell(row, 4);
        if (!link.Preset.empty() && FindBudgetPreset(link.Preset) == nullptr)
            reader.Fail(4, QuoteForMessage(link.Preset) + " is no preset");
    });
    return link;
}

std::string Figure(double value) {
    return FloatToText(value);
}

std::string Figure(const std::optional<double>& value) {
    return value ? FloatToText(*value) : std::string();
}

TFormRows WaveLengthRows(const TWavelengthTable& figures) {
    TFormRows rows;
    for (const auto& [waveLength, figure] : figures)
        rows.push_back({std::to_string(waveLength), Figure(figure)});
    return rows;
}

}  // namespace

const char* BudgetTableName(TBudgetTable table) {
    switch (table) {
        case TBudgetTable::Attenuation:
            return "Attenuation";
        case TBudgetTable::MaxLoss:
            return "Fixed limits";
        case TBudgetTable::Links:
            return "Links";
        case TBudgetTable::Power:
            return "Power windows";
        case TBudgetTable::None:
            break;
    }
    return "";
}

const std::vector<const char*>& BudgetTableColumns(TBudgetTable table) {
    static const std::vector<const char*> none;
    static const std::vector<const char*> attenuation{"Wavelength (nm)", "dB/km"};
    static const std::vector<const char*> maxLoss{"Wavelength (nm)", "Max loss (dB)"};
    static const std::vector<const char*> links{"Cable", "Length (m)", "Connectors", "Splices",
                                                "Preset"};
    static const std::vector<const char*> power{"Wavelength (nm)", "Min (dBm)", "Max (dBm)"};
    switch (table) {
        case TBudgetTable::Attenuation:
            return attenuation;
        case TBudgetTable::MaxLoss:
            return maxLoss;
        case TBudgetTable::Links:
            return links;
        case TBudgetTable::Power:
            return power;
        case TBudgetTable::None:
            break;
    }
    return none;
}

TBudgetForm BudgetFormFrom(const TBudget& budget) {
    TBudgetForm form;
    form.Name = budget.Name;
    form.Preset = budget.Preset;
    form.LossSign = budget.LossSign;
    form.GainToleranceDb = Figure(budget.GainToleranceDb);
    form.ConnectorDb = Figure(budget.ConnectorDb);
    form.SpliceDb = Figure(budget.SpliceDb);
    form.ReferenceMethod = budget.ReferenceMethod;
    form.EndConnectorDb = Figure(budget.EndConnectorDb);
    form.Launch = budget.Launch;
    form.PairRule = budget.PairRule;
    form.Attenuation = WaveLengthRows(budget.AttenuationDbPerKm);
    form.MaxLoss = WaveLengthRows(budget.MaxLossDb);
    for (const TLinkBudget& link : budget.Links) {
        form.Links.push_back({link.Cable, Figure(link.LengthM), std::to_string(link.Connectors),
                              std::to_string(link.Splices), link.Preset});
        if (!link.AttenuationDbPerKm.empty())
            form.LinkAttenuations[link.Cable] = link.AttenuationDbPerKm;
    }
    for (const auto& [waveLength, window] : budget.PowerDbm)
        form.Power.push_back({std::to_string(waveLength), Figure(window.Min), Figure(window.Max)});
    return form;
}

namespace {

void ReadSingleFields(const TBudgetForm& form, TBudget& budget, TFormErrors& errors) {
    budget.Name = form.Name;
    errors.Keep([&] {
        if (!form.Preset.empty() && FindBudgetPreset(form.Preset) == nullptr)
            TFormReader(TBudgetTable::None, "Preset")
                .Fail(0, QuoteForMessage(form.Preset) + " is no preset");
        budget.Preset = form.Preset;
    });
    budget.LossSign = form.LossSign;
    const auto optional = [&](const char* field, const std::string& text,
                              std::optional<double>& figure) {
        errors.Keep(
            [&] { figure = TFormReader(TBudgetTable::None, field).Optional(Trimmed(text), true); });
    };
    optional("Gain tolerance (dB)", form.GainToleranceDb, budget.GainToleranceDb);
    optional("Connector pair (dB)", form.ConnectorDb, budget.ConnectorDb);
    optional("Splice (dB)", form.SpliceDb, budget.SpliceDb);
    budget.ReferenceMethod = form.ReferenceMethod;
    optional("End connection (dB)", form.EndConnectorDb, budget.EndConnectorDb);
    budget.Launch = Trimmed(form.Launch);
    budget.PairRule = form.PairRule;
}

void ReadPowerWindows(const TFormRows& rows, TBudget& budget, TFormErrors& errors) {
    std::map<int, int> seen;
    ForEachRow(rows, TBudgetTable::Power,
               [&](TFormReader& reader, const std::vector<std::string>& row) {
                   errors.Keep([&] {
                       const int waveLength = reader.WaveLength(row, seen);
                       TPowerWindow window;
                       const std::string min = reader.Cell(row, 1);
                       const std::string max = reader.Cell(row, 2);
                       if (min.empty() && max.empty())
                           reader.Fail(1, "give a minimum, a maximum or both");
                       if (!min.empty())
                           window.Min = reader.Number(min, 1);
                       if (!max.empty())
                           window.Max = reader.Number(max, 2);
                       if (window.Min && window.Max && *window.Min > *window.Max)
                           reader.Fail(2, "is below the minimum");
                       budget.PowerDbm[waveLength] = window;
                   });
               });
}

}  // namespace

TBudget BudgetFromForm(const TBudgetForm& form) {
    TBudget budget;
    TFormErrors errors;
    ReadSingleFields(form, budget, errors);
    budget.AttenuationDbPerKm =
        WaveLengthFigures(form.Attenuation, TBudgetTable::Attenuation, errors);
    budget.MaxLossDb = WaveLengthFigures(form.MaxLoss, TBudgetTable::MaxLoss, errors);
    std::set<std::string> cables;
    ForEachRow(form.Links, TBudgetTable::Links,
               [&](TFormReader& reader, const std::vector<std::string>& row) {
                   TLinkBudget link = LinkFromRow(reader, row, cables, errors);
                   if (const auto own = form.LinkAttenuations.find(link.Cable);
                       own != form.LinkAttenuations.end())
                       link.AttenuationDbPerKm = own->second;
                   budget.Links.push_back(std::move(link));
               });
    ReadPowerWindows(form.Power, budget, errors);
    errors.ThrowAny();
    // Figures each fine may still make a limit no double holds.
    if (const std::string key = InfiniteLimitKey(budget); !key.empty())
        TFormReader(TBudgetTable::None, "Budget")
            .Fail(0, "the figures of " + key + " make a limit too large to compute");
    return budget;
}

TFormRows NewCableRows(const TFormRows& links, const std::vector<std::string>& cables) {
    std::set<std::string> listed;
    std::vector<std::string> figures{"0", "2", "0", ""};
    for (const std::vector<std::string>& row : links) {
        const std::string cable = row.empty() ? std::string() : Trimmed(row[0]);
        listed.insert(cable);
        if (cable == "*") {
            for (std::size_t column = 1; column <= figures.size(); ++column)
                figures[column - 1] = column < row.size() ? Trimmed(row[column]) : std::string();
        }
    }
    TFormRows rows;
    for (const std::string& cable : cables) {
        const std::string trimmed = Trimmed(cable);
        if (trimmed.empty() || !listed.insert(trimmed).second)
            continue;
        std::vector<std::string> row{cable};
        row.insert(row.end(), figures.begin(), figures.end());
        rows.push_back(std::move(row));
    }
    return rows;
}

void FillDown(TFormRows& rows, int column, int firstRow, int lastRow) {
    if (column < 0 || firstRow < 0 || firstRow >= lastRow ||
        static_cast<std::size_t>(lastRow) >= rows.size())
        return;
    const auto at = static_cast<std::size_t>(column);
    const auto& source = rows[static_cast<std::size_t>(firstRow)];
    const std::string text = at < source.size() ? source[at] : std::string();
    for (auto row = static_cast<std::size_t>(firstRow) + 1;
         row <= static_cast<std::size_t>(lastRow); ++row) {
        if (rows[row].size() <= at)
            rows[row].resize(at + 1);
        rows[row][at] = text;
    }
}

std::vector<std::string> DistinctCables(const TMeraniaArray& records) {
    std::vector<std::string> cables;
    std::unordered_set<std::string_view> seen;
    for (const TMeranie& record : records) {
        if (seen.insert(record.Cable).second)
            cables.push_back(record.Cable);
    }
    return cables;
}
