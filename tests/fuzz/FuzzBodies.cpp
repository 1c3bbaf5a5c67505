#include "FuzzBodies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "FuzzSupport.h"
#include "data/DumpTable.h"
#include "data/Errors.h"
#include "data/NumberText.h"
#include "verdict/Budget.h"
#include "verdict/Verdict.h"

namespace {

bool IsBlank(char c) {
    return c >= 1 && static_cast<unsigned char>(c) <= ' ';
}

// The split rule walked on a zero-terminated copy, pointer by pointer, apart from the
// SplitDelimited under test: a quoted piece runs to its closing quote (or the end), a
// doubled quote inside is one; a piece runs to a blank or the delimiter; blanks after a
// piece are skipped, then a delimiter with the blanks after it, and a delimiter that is
// the last character adds one empty piece.
std::vector<std::string> WalkSplit(char delimiter, const std::string& text) {
    std::vector<std::string> pieces;
    const std::string copy = text;  // c_str() ends the walk at the first zero byte
    const char* p = copy.c_str();
    while (IsBlank(*p))
        ++p;
    while (*p != '\0') {
        std::string piece;
        if (*p == '"') {
            ++p;
            while (*p != '\0' && !(*p == '"' && p[1] != '"')) {
                piece += *p;
                p += *p == '"' ? 2 : 1;
            }
            if (*p == '"')
                ++p;
        } else {
            while (*p != '\0' && !IsBlank(*p) && *p != delimiter)
                piece += *p++;
        }
        pieces.push_back(piece);
        while (IsBlank(*p))
            ++p;
        if (*p == delimiter) {
            if (p[1] == '\0')
                pieces.emplace_back();
            do
                ++p;
            while (IsBlank(*p));
        }
    }
    return pieces;
}

struct TParse {
    TMeraniaArray records;
    std::string error;  // empty when the parse returned normally
};

// The parse step by step as written down: up to the zero byte, LF CR -> "^" left to right,
// TAB -> "@", split at "^", each non-empty piece split at "@", AddMeranie for four or more.
// Lines whose control bytes cut their fields are blanked first (WithoutSplitRecords).
std::optional<TMeraniaArray> ReferenceRecords(const std::string& text,
                                              std::string* error = nullptr) {
    Merania.clear();
    std::string rewritten;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
            rewritten += '^';
            ++i;
        } else {
            rewritten += text[i] == '\t' ? '@' : text[i];
        }
    }
    try {
        for (const std::string& line : WalkSplit('^', rewritten)) {
            if (line.empty())
                continue;
            const std::vector<std::string> fields = WalkSplit('@', line);
            if (fields.size() > 3)
                AddMeranie(fields);
        }
    } catch (const EConvertError& caught) {
        if (error != nullptr)
            *error = caught.what();
        return std::nullopt;
    }
    return Merania;
}

bool Cuts(char c) {
    return c > 0 && c < 32 && c != '\t' && c != '\n' && c != '\r';
}

std::string Uncut(std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(), Cuts), text.end());
    return text;
}

// A line (between CR, LF and "^" outside double quotes) holding a control byte that is not
// TAB, CR or LF reads as blanks when its records differ from those of the line without such
// bytes (their texts compared without them too).
std::string WithoutSplitRecords(std::string text) {
    std::vector<std::pair<std::size_t, std::size_t>> lines;
    std::size_t begin = 0;
    int quotes = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        quotes += text[i] == '"';
        if (quotes % 2 == 0 && (text[i] == '\r' || text[i] == '\n' || text[i] == '^')) {
            lines.emplace_back(begin, i);
            begin = i + 1;
        }
    }
    lines.emplace_back(begin, text.size());
    std::vector<std::pair<std::size_t, std::size_t>> blanked;
    for (const auto& [from, to] : lines) {
        const std::string line = text.substr(from, to - from);
        if (std::none_of(line.begin(), line.end(), Cuts))
            continue;
        const auto read = ReferenceRecords(line);
        const auto whole = ReferenceRecords(Uncut(line));
        if (!read || !whole)
            continue;
        bool differ = read->size() != whole->size();
        for (std::size_t r = 0; !differ && r < read->size(); ++r) {
            TMeranie shown = (*read)[r];
            shown.Cable = Uncut(shown.Cable);
            shown.Fiber = Uncut(shown.Fiber);
            differ = !SameRecord(shown, (*whole)[r]);
        }
        if (differ)
            blanked.emplace_back(from, to);
    }
    for (const auto& [from, to] : blanked)
        text.replace(from, to - from, to - from, ' ');
    return text;
}

TParse Reference(const std::string& dump) {
    TParse outcome;
    // A conversion error leaves the records read so far, the failing one partial, in Merania.
    ReferenceRecords(WithoutSplitRecords(dump.substr(0, dump.find('\0'))), &outcome.error);
    outcome.records = Merania;
    return outcome;
}

TParse Fast(const std::string& dump) {
    TParse outcome;
    try {
        ParseDeviceDump(dump);
    } catch (const EConvertError& error) {
        outcome.error = error.what();
    }
    outcome.records = Merania;
    return outcome;
}

std::string Quoted(const std::vector<std::string>& pieces) {
    std::string text = "{";
    for (const std::string& piece : pieces)
        text += (text.size() > 1 ? ", \"" : "\"") + Printable(piece) + "\"";
    return text + "}";
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// The bytes of bytes from at on, as many as asked (zeros past the end).
std::string Take(const std::string& bytes, std::size_t& at, std::size_t count) {
    std::string taken = at < bytes.size() ? bytes.substr(at, count) : std::string();
    at += count;
    taken.resize(count, '\0');
    return taken;
}

}  // namespace

TFuzzOutcome CheckParseDump(const std::string& dump) {
    TFuzzOutcome outcome;
    const TParse expected = Reference(dump);
    const TParse actual = Fast(dump);
    outcome.Accepted = !expected.records.empty();
    outcome.Refused = !expected.error.empty();
    bool same = expected.error == actual.error && expected.records.size() == actual.records.size();
    for (std::size_t r = 0; same && r < expected.records.size(); ++r)
        same = SameRecord(expected.records[r], actual.records[r]);
    if (!same) {
        outcome.Failure = "\"" + Printable(dump) +
                          "\"\n  reference: " + std::to_string(expected.records.size()) +
                          " records, error '" + expected.error +
                          "'\n  fast path: " + std::to_string(actual.records.size()) +
                          " records, error '" + actual.error + "'";
        return outcome;
    }
    // Whatever an import gives, Save writes and Open reads back.
    if (expected.error.empty()) {
        const std::string difference = SaveOpenDifference(actual.records);
        if (!difference.empty())
            outcome.Failure = "\"" + Printable(dump) + "\"\n  " + difference;
    }
    return outcome;
}

namespace {

// Where two tables differ, or empty.
std::string TableDifference(const TMeasurementTable& expected, const TMeasurementTable& actual) {
    if (expected.RowCount() != actual.RowCount())
        return std::to_string(expected.RowCount()) + " rows, the pieces " +
               std::to_string(actual.RowCount());
    for (std::size_t row = 0; row < expected.RowCount(); ++row) {
        for (int item = 0; item < TMeasurementTable::SubItemCount; ++item) {
            if (expected.SubItem(row, item) != actual.SubItem(row, item))
                return "row " + std::to_string(row) + " item " + std::to_string(item) + ": \"" +
                       Printable(std::string(expected.SubItem(row, item))) + "\", the pieces \"" +
                       Printable(std::string(actual.SubItem(row, item))) + "\"";
        }
    }
    return {};
}

// The records of a parse in batches of batch, put together again, against the whole parse.
std::string BatchDifference(const std::string& dump, std::size_t batch, const TParse& whole,
                            const TDumpDamage& wholeDamage) {
    TParse pieces;
    TDumpDamage damage;
    try {
        ParseDeviceDumpInBatches(
            dump, batch,
            [&](TMeraniaArray& records) {
                if (records.empty() || records.size() > batch)
                    pieces.error = "a batch of " + std::to_string(records.size());
                pieces.records.insert(pieces.records.end(), records.begin(), records.end());
            },
            &damage);
    } catch (const EConvertError& error) {
        pieces.error = error.what();
    }
    // After a conversion error the records handed on are a prefix of the whole parse's.
    bool same = pieces.error == whole.error && damage.Count == wholeDamage.Count &&
                damage.FirstLine == wholeDamage.FirstLine &&
                (whole.error.empty() ? pieces.records.size() == whole.records.size()
                                     : pieces.records.size() < whole.records.size());
    for (std::size_t r = 0; same && r < pieces.records.size(); ++r)
        same = SameRecord(whole.records[r], pieces.records[r]);
    if (same)
        return {};
    return "batches of " + std::to_string(batch) + ": " + std::to_string(pieces.records.size()) +
           " records, error '" + pieces.error + "', " + std::to_string(damage.Count) +
           " left out; whole: " + std::to_string(whole.records.size()) + " records, error '" +
           whole.error + "', " + std::to_string(wholeDamage.Count) + " left out";
}

std::string DumpTableDifference(const std::string& dump, const TMeraniaArray& whole) {
    for (const TTablePage page : {TTablePage::All, TTablePage::Absolute, TTablePage::Relative}) {
        TMeasurementTable expected(page);
        FillMeasurementTable(whole, expected);
        TMeasurementTable actual(page);
        ParseDeviceDumpToTable(dump, actual);
        const std::string difference = TableDifference(expected, actual);
        if (!difference.empty())
            return "page " + std::to_string(static_cast<int>(page)) + ": " + difference;
    }
    return {};
}

}  // namespace

TFuzzOutcome CheckParseInPieces(const std::string& dump) {
    TFuzzOutcome outcome;
    TParse whole;
    TDumpDamage wholeDamage;
    try {
        ParseDeviceDump(dump, whole.records, &wholeDamage);
    } catch (const EConvertError& error) {
        whole.error = error.what();
    }
    outcome.Accepted = whole.error.empty() && !whole.records.empty();
    outcome.Refused = !whole.error.empty();
    std::string difference;
    for (const std::size_t batch : {1, 2, 3, 4096}) {
        if (difference.empty())
            difference = BatchDifference(dump, batch, whole, wholeDamage);
    }
    if (difference.empty() && whole.error.empty())
        difference = DumpTableDifference(dump, whole.records);
    if (!difference.empty())
        outcome.Failure = "\"" + Printable(dump) + "\"\n  " + difference;
    return outcome;
}

TFuzzOutcome CheckSplit(const std::string& text) {
    TFuzzOutcome outcome;
    std::vector<std::string> pieces;
    for (const char delimiter : {'^', '@', '\t'}) {
        SplitDelimited(delimiter, text, pieces);
        const std::vector<std::string> expected = WalkSplit(delimiter, text);
        if (pieces != expected) {
            outcome.Failure = "delimiter " + Printable(std::string(1, delimiter)) + ": \"" +
                              Printable(text) + "\"\n  walk: " + Quoted(expected) +
                              "\n  SplitDelimited: " + Quoted(pieces);
            return outcome;
        }
    }
    outcome.Accepted = true;
    return outcome;
}

TFuzzOutcome CheckSaveOpen(const TMeraniaArray& records) {
    TFuzzOutcome outcome;
    outcome.Failure = SaveOpenDifference(records);
    if (!outcome.Failure.empty() || Merania.empty())
        return outcome;  // refused, as it had to be, or nothing to save
    outcome.Accepted = true;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!SameRecord(Merania[i], records[i])) {
            outcome.Failure = Hex(records[i].WaveLength) + " " + Hex(records[i].Value) + " " +
                              Hex(records[i].Reference) + " came back as " +
                              Hex(Merania[i].WaveLength) + " " + Hex(Merania[i].Value) + " " +
                              Hex(Merania[i].Reference);
            return outcome;
        }
    }
    return outcome;
}

TFuzzOutcome CheckDoubleText(double value) {
    TFuzzOutcome outcome;
    const std::string text = FloatToText(value);
    const auto fail = [&](const std::string& what) {
        outcome.Failure = Hex(value) + " as \"" + Printable(text) + "\": " + what;
        return outcome;
    };
    if (text.size() > 22)
        return fail("longer than 22 characters");
    double back = 0;
    try {
        back = TextToFloat(text);
    } catch (const EConvertError& error) {
        return fail(std::string("does not read back: ") + error.what());
    }
    if (FloatToText(back) != text)
        return fail("reads back to " + FloatToText(back));
    if (!SameBits(TextToFloat(FloatToText(back)), back))
        return fail("the value read back does not read back to itself");
    // At most half a unit of the text's 15th digit and the half unit in the last place of
    // reading that text (for a denormal, half the spacing of denormals).
    constexpr double Rounding = 5e-15 + std::numeric_limits<double>::epsilon() / 2;
    if (!(std::fabs(back - value) <=
          Rounding * 1.0001 * std::fabs(value) + std::numeric_limits<double>::denorm_min()))
        return fail("moved to " + Hex(back));
    outcome.Accepted = true;
    return outcome;
}

TFuzzOutcome CheckNumberText(const std::string& text) {
    TFuzzOutcome outcome;
    double value = 0;
    try {
        value = TextToFloat(text);
    } catch (const EConvertError& error) {
        outcome.Refused = true;
        // The message quotes at most 64 bytes, and what() ends at a zero byte.
        const std::string quoted = text.size() > 64 ? text.substr(0, 64) + "..." : text;
        const std::string expected = "'" + quoted + "' is not a valid floating point value";
        if (error.what() != expected.substr(0, expected.find('\0')))
            outcome.Failure = "\"" + Printable(text) + "\" refused with " + error.what();
        return outcome;
    }
    outcome.Accepted = true;
    const auto fail = [&](const std::string& what) {
        outcome.Failure = "\"" + Printable(text) + "\": " + what;
        return outcome;
    };
    if (!std::isfinite(value))
        return fail("read to " + Hex(value));
    double back = 0;
    try {
        back = TextToFloat(FloatToText(value));
    } catch (const EConvertError& error) {
        return fail(FloatToText(value) + " does not read back: " + error.what());
    }
    if (FloatToText(back) != FloatToText(value))
        return fail(FloatToText(value) + " reads back to " + FloatToText(back));
    if (!SameBits(TextToFloat(FloatToText(back)), back))
        return fail("the value read back does not read back to itself");
    return outcome;
}

TFuzzOutcome CheckBudget(const std::string& json) {
    TFuzzOutcome outcome;
    TBudget budget;
    try {
        budget = ParseBudget(json, "fuzz.json");
    } catch (const EBudgetError& error) {
        outcome.Refused = true;
        if (std::string(error.what()).find("fuzz.json") == std::string::npos)
            outcome.Failure = std::string("the refusal does not name the file: ") + error.what();
        return outcome;
    }
    outcome.Accepted = true;
    const std::string written = BudgetToJson(budget);
    try {
        if (!(ParseBudget(written, "again.json") == budget))
            outcome.Failure = "written back as another budget: " + Printable(written);
    } catch (const EBudgetError& error) {
        outcome.Failure = std::string("written back unreadably: ") + error.what();
        return outcome;
    }
    const TMeraniaArray records{{"1", "1", 1310, -1.5, -10, true}, {"2", "1", 1550, -4, 0, false}};
    if (outcome.Failure.empty() && JudgeRecords(budget, records).size() != records.size())
        outcome.Failure = "judged another number of records than given";
    return outcome;
}

TMeraniaArray RecordsFromBytes(const std::string& bytes) {
    std::size_t at = 0;
    const auto byte = [&] { return static_cast<unsigned char>(Take(bytes, at, 1)[0]); };
    // A value as Open or an import gives it: read from a number text of 15 digits or fewer.
    const auto number = [&] {
        return TextToFloat(FloatToText(DoubleFromBytes(Take(bytes, at, 8))));
    };
    TMeraniaArray records;
    for (int n = byte() % 6; n > 0; --n) {
        TMeranie record;
        record.Cable = Take(bytes, at, byte() % 8);
        record.Fiber = Take(bytes, at, byte() % 8);
        record.IsRelative = byte() % 2 == 0;
        record.WaveLength = number();
        record.Value = number();
        record.Reference = record.IsRelative ? number() : 0;
        records.push_back(record);
    }
    return records;
}

double DoubleFromBytes(const std::string& bytes) {
    double value = 0;
    std::size_t at = 0;
    std::memcpy(&value, Take(bytes, at, sizeof value).data(), sizeof value);
    return std::isfinite(value) ? value : 0;
}
