#include <charconv>
#include <cmath>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/NumberText.h"
#include "sys/TextFile.h"
#include "verdict/Budget.h"

namespace {

using nlohmann::json;

constexpr std::size_t MostQuoted = 64;

// A key as messages name it: in double quotes, its first 64 bytes and "..." when longer.
std::string QuoteKey(std::string_view key) {
    if (key.size() <= MostQuoted)
        return "\"" + std::string(key) + "\"";
    return "\"" + std::string(key.substr(0, MostQuoted)) + "...\"";
}

// The JSON library quotes whole tokens, a number or text of megabytes among them; each quoted
// span keeps its first 64 bytes.
std::string ShortenQuotedSpans(const std::string& message) {
    std::string shortened;
    std::size_t at = 0;
    while (at < message.size()) {
        const std::size_t open = message.find('\'', at);
        const std::size_t close =
            open == std::string::npos ? std::string::npos : message.find('\'', open + 1);
        if (close == std::string::npos)
            break;
        shortened.append(message, at, open - at);
        shortened += QuoteForMessage(std::string_view(message).substr(open + 1, close - open - 1));
        at = close + 1;
    }
    // An unmatched quote: what follows it is cut like a quoted span.
    if (message.size() - at > MostQuoted)
        shortened += message.substr(at, MostQuoted) + "...";
    else
        shortened += message.substr(at);
    return shortened;
}

// Reads one budget file's JSON; every problem is thrown as EBudgetError naming the file and
// the key (as a path: "links[1].length_m").
class TBudgetReader {
public:
    explicit TBudgetReader(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void Fail(const std::string& problem) const {
        throw EBudgetError("Budget file \"" + fileName_ + "\": " + problem, fileName_,
                           std::make_error_code(std::errc::invalid_argument));
    }
    [[noreturn]] void FailAt(const std::string& key, const std::string& problem) const {
        Fail(QuoteKey(key) + " " + problem);
    }

    void ExpectType(const json& value, json::value_t type, const std::string& key) const {
        const bool matches =
            type == json::value_t::number_float ? value.is_number() : value.type() == type;
        if (!matches) {
            const char* wanted = type == json::value_t::number_float ? "a number"
                                 : type == json::value_t::string     ? "a text"
                                 : type == json::value_t::object     ? "an object"
                                 : type == json::value_t::array      ? "a list"
                                                                     : "something else";
            FailAt(key, std::string("must be ") + wanted + ", not " + TypeName(value));
        }
    }

    std::string Text(const json& value, const std::string& key) const {
        ExpectType(value, json::value_t::string, key);
        return value.get<std::string>();
    }

    double Number(const json& value, const std::string& key) const {
        ExpectType(value, json::value_t::number_float, key);
        return value.get<double>();
    }

    double NonNegative(const json& value, const std::string& key) const {
        const double number = Number(value, key);
        if (number < 0)
            FailAt(key, "must not be negative");
        return number;
    }

    int Count(const json& value, const std::string& key) const {
        const double number = NonNegative(value, key);
        if (!value.is_number_integer() || number > 10000)
            FailAt(key, "must be a whole number from 0 to 10000");
        return static_cast<int>(number);
    }

    int WaveLengthKey(const std::string& text, const std::string& key) const {
        int waveLength = 0;
        const auto [end, error] =
            std::from_chars(text.data(), text.data() + text.size(), waveLength);
        if (text.empty() || text[0] == '-' || error != std::errc() ||
            end != text.data() + text.size() || waveLength <= 0 || waveLength > 100000)
            FailAt(key, "is no wavelength: a key here is a whole number of nm, such as \"1310\"");
        return waveLength;
    }

    template <typename Read>
    void ForEachKey(const json& object, const std::string& key, Read&& read) const {
        if (key.empty() && !object.is_object())
            Fail("the file must hold one JSON object, not " + TypeName(object));
        ExpectType(object, json::value_t::object, key);
        for (const auto& [name, value] : object.items())
            read(name, value, key.empty() ? name : key + "." + name);
    }

    template <typename Table, typename Read>
    Table WaveLengths(const json& object, const std::string& key, Read&& read) const {
        Table table;
        ForEachKey(
            object, key, [&](const std::string& name, const json& value, const std::string& at) {
                const int waveLength = WaveLengthKey(name, at);
                if (table.count(waveLength) != 0)
                    FailAt(at, "repeats the wavelength " + std::to_string(waveLength) + " nm");
                table[waveLength] = read(value, at);
            });
        return table;
    }

    TBudget Read(const json& root) const {
        TBudget budget;
        ForEachKey(root, "",
                   [&](const std::string& name, const json& value, const std::string& at) {
                       if (name == "name") {
                           budget.Name = Text(value, at);
                       } else if (name == "preset") {
                           budget.Preset = PresetName(value, at);
                       } else if (name == "loss_sign") {
                           const std::string sign = Text(value, at);
                           if (sign != "negative" && sign != "positive")
                               FailAt(at, "must be \"negative\" or \"positive\", not " +
                                              QuoteForMessage(sign));
                           budget.LossSign =
                               sign == "negative" ? TLossSign::Negative : TLossSign::Positive;
                       } else if (name == "gain_tolerance_db") {
                           budget.GainToleranceDb = NonNegative(value, at);
                       } else if (name == "attenuation_db_per_km") {
                           budget.AttenuationDbPerKm = Attenuations(value, at);
                       } else if (name == "connector_db") {
                           budget.ConnectorDb = NonNegative(value, at);
                       } else if (name == "splice_db") {
                           budget.SpliceDb = NonNegative(value, at);
                       } else if (name == "reference_method") {
                           budget.ReferenceMethod = Method(value, at);
                       } else if (name == "end_connector_db") {
                           budget.EndConnectorDb = NonNegative(value, at);
                       } else if (name == "pair_rule") {
                           budget.PairRule = Rule(value, at);
                       } else if (name == "launch") {
                           budget.Launch = Text(value, at);
                       } else if (name == "links") {
                           budget.Links = Links(value, at);
                       } else if (name == "max_loss_db") {
                           budget.MaxLossDb = Attenuations(value, at);
                       } else if (name == "power_dbm") {
                           budget.PowerDbm = WaveLengths<std::map<int, TPowerWindow>>(
                               value, at,
                               [&](const json& v, const std::string& k) { return Window(v, k); });
                       } else {
                           Fail("unknown key " + QuoteKey(at));
                       }
                   });
        if (const std::string key = InfiniteLimitKey(budget); !key.empty())
            FailAt(key, "is too large: a limit it gives is no finite number");
        return budget;
    }

private:
    static std::string TypeName(const json& value) {
        switch (value.type()) {
            case json::value_t::string:
                return "a text";
            case json::value_t::object:
                return "an object";
            case json::value_t::array:
                return "a list";
            case json::value_t::boolean:
                return "true or false";
            case json::value_t::null:
                return "null";
            default:
                return "a number";
        }
    }

    std::string PresetName(const json& value, const std::string& key) const {
        std::string preset = Text(value, key);
        if (FindBudgetPreset(preset) == nullptr)
            FailAt(key, "names no preset: " + QuoteForMessage(preset) +
                            " (known: " + PresetNames() + ")");
        return preset;
    }

    TReferenceMethod Method(const json& value, const std::string& key) const {
        const std::string name = Text(value, key);
        const auto method = FindReferenceMethod(name);
        if (!method)
            FailAt(key, "must be \"1-jumper\", \"2-jumper\" or \"3-jumper\", not " +
                            QuoteForMessage(name));
        return *method;
    }

    TPairRule Rule(const json& value, const std::string& key) const {
        const std::string name = Text(value, key);
        const auto rule = FindPairRule(name);
        if (!rule)
            FailAt(key, "must be \"worst\" or \"average\", not " + QuoteForMessage(name));
        return *rule;
    }

    // A table of non-negative dB figures (per km or not) by wavelength.
    TWavelengthTable Attenuations(const json& value, const std::string& key) const {
        return WaveLengths<TWavelengthTable>(
            value, key, [&](const json& v, const std::string& k) { return NonNegative(v, k); });
    }

    static std::string PresetNames() {
        std::string names;
        for (const TBudgetPreset& preset : BudgetPresets())
            names += (names.empty() ? "" : ", ") + preset.Name;
        return names;
    }

    std::vector<TLinkBudget> Links(const json& list, const std::string& key) const {
        ExpectType(list, json::value_t::array, key);
        std::vector<TLinkBudget> links;
        std::set<std::string> cables;
        for (std::size_t index = 0; index < list.size(); ++index) {
            const std::string at = key + "[" + std::to_string(index) + "]";
            TLinkBudget link;
            bool hasCable = false;
            ForEachKey(list[index], at,
                       [&](const std::string& name, const json& value, const std::string& field) {
                           if (name == "cable") {
                               link.Cable = Text(value, field);
                               hasCable = true;
                           } else if (name == "length_m") {
                               link.LengthM = NonNegative(value, field);
                           } else if (name == "connectors") {
                               link.Connectors = Count(value, field);
                           } else if (name == "splices") {
                               link.Splices = Count(value, field);
                           } else if (name == "preset") {
                               link.Preset = PresetName(value, field);
                           } else if (name == "attenuation_db_per_km") {
                               link.AttenuationDbPerKm = Attenuations(value, field);
                           } else {
                               Fail("unknown key " + QuoteKey(field));
                           }
                       });
            // A link that names no cable would silently cover some; the file must say which.
            if (!hasCable)
                FailAt(at + ".cable",
                       "is missing (a cable's text, or \"*\" for every other cable)");
            if (!cables.insert(link.Cable).second)
                FailAt(at + ".cable", "repeats the cable " + QuoteForMessage(link.Cable));
            links.push_back(std::move(link));
        }
        return links;
    }

    TPowerWindow Window(const json& object, const std::string& key) const {
        TPowerWindow window;
        ForEachKey(object, key,
                   [&](const std::string& name, const json& value, const std::string& at) {
                       if (name == "min")
                           window.Min = Number(value, at);
                       else if (name == "max")
                           window.Max = Number(value, at);
                       else
                           Fail("unknown key " + QuoteKey(at));
                   });
        if (window.Min && window.Max && *window.Min > *window.Max)
            FailAt(key, "has its min above its max");
        return window;
    }

    const std::string& fileName_;
};

// A key given twice in one object: the JSON library would keep the last silently.
json ParseStrictly(std::string_view text, const TBudgetReader& reader) {
    std::vector<std::set<std::string>> keysOfOpenObjects;
    const json::parser_callback_t watchKeys = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) {
            keysOfOpenObjects.emplace_back();
        } else if (event == json::parse_event_t::object_end) {
            keysOfOpenObjects.pop_back();
        } else if (event == json::parse_event_t::key) {
            const std::string& key = parsed.get_ref<const std::string&>();
            if (!keysOfOpenObjects.back().insert(key).second)
                reader.Fail("the key " + QuoteKey(key) + " is given twice in one object");
        }
        return true;
    };
    try {
        return json::parse(text.begin(), text.end(), watchKeys);
    } catch (const json::exception& error) {
        // "[json.exception.parse_error.101] parse error at line 1, ...": the bracket is noise.
        std::string message = error.what();
        if (const auto bracket = message.find("] "); bracket != std::string::npos)
            message.erase(0, bracket + 2);
        reader.Fail("not valid JSON: " + ShortenQuotedSpans(message));
    }
}

// Whole numbers are written without a fraction (500, not 500.0).
nlohmann::ordered_json NumberValue(double number) {
    if (std::trunc(number) == number && std::fabs(number) < 1e15)
        return static_cast<long long>(number);
    return number;
}

template <typename Table, typename Write>
nlohmann::ordered_json WaveLengthObject(const Table& table, Write&& write) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [waveLength, value] : table)
        object[std::to_string(waveLength)] = write(value);
    return object;
}

nlohmann::ordered_json LinkObject(const TLinkBudget& link) {
    nlohmann::ordered_json object = {{"cable", link.Cable},
                                     {"length_m", NumberValue(link.LengthM)},
                                     {"connectors", link.Connectors},
                                     {"splices", link.Splices}};
    if (!link.Preset.empty())
        object["preset"] = link.Preset;
    if (!link.AttenuationDbPerKm.empty())
        object["attenuation_db_per_km"] = WaveLengthObject(link.AttenuationDbPerKm, NumberValue);
    return object;
}

}  // namespace

TBudget ParseBudget(std::string_view text, const std::string& fileName) {
    const TBudgetReader reader(fileName);
    return reader.Read(ParseStrictly(text, reader));
}

TBudget ReadBudgetFile(const std::string& path) {
    return ParseBudget(ReadWholeFile(path), path);
}

std::string BudgetToJson(const TBudget& budget) {
    nlohmann::ordered_json root = nlohmann::ordered_json::object();
    if (!budget.Name.empty())
        root["name"] = budget.Name;
    if (!budget.Preset.empty())
        root["preset"] = budget.Preset;
    root["loss_sign"] = budget.LossSign == TLossSign::Negative ? "negative" : "positive";
    if (budget.GainToleranceDb)
        root["gain_tolerance_db"] = NumberValue(*budget.GainToleranceDb);
    if (!budget.AttenuationDbPerKm.empty())
        root["attenuation_db_per_km"] = WaveLengthObject(budget.AttenuationDbPerKm, NumberValue);
    if (budget.ConnectorDb)
        root["connector_db"] = NumberValue(*budget.ConnectorDb);
    if (budget.SpliceDb)
        root["splice_db"] = NumberValue(*budget.SpliceDb);
    if (budget.ReferenceMethod)
        root["reference_method"] = ReferenceMethodName(*budget.ReferenceMethod);
    if (budget.EndConnectorDb)
        root["end_connector_db"] = NumberValue(*budget.EndConnectorDb);
    if (!budget.Launch.empty())
        root["launch"] = budget.Launch;
    if (budget.PairRule)
        root["pair_rule"] = PairRuleName(*budget.PairRule);
    if (!budget.Links.empty()) {
        nlohmann::ordered_json links = nlohmann::ordered_json::array();
        for (const TLinkBudget& link : budget.Links)
            links.push_back(LinkObject(link));
        root["links"] = std::move(links);
    }
    if (!budget.MaxLossDb.empty())
        root["max_loss_db"] = WaveLengthObject(budget.MaxLossDb, NumberValue);
    if (!budget.PowerDbm.empty())
        root["power_dbm"] = WaveLengthObject(budget.PowerDbm, [](const TPowerWindow& window) {
            nlohmann::ordered_json bounds = nlohmann::ordered_json::object();
            if (window.Min)
                bounds["min"] = NumberValue(*window.Min);
            if (window.Max)
                bounds["max"] = NumberValue(*window.Max);
            return bounds;
        });
    // Texts that are not UTF-8 are written with U+FFFD rather than failing the save.
    return root.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void WriteBudgetFile(const TBudget& budget, const std::string& path) {
    WriteWholeFile(path, BudgetToJson(budget));
}
