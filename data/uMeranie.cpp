#include "data/uMeranie.h"

#include <new>
#include <stdexcept>

#include "data/ControlText.h"
#include "data/CountText.h"
#include "data/DumpScanner.h"
#include "data/Errors.h"
#include "data/NumberText.h"
#include "sys/LargeArrays.h"

TMeraniaArray Merania;

namespace {

bool IsBlank(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Takes the quoted piece that starts at text[p] (a double quote) and moves p past its
// closing quote. A doubled quote inside stands for one; without a closing quote the piece
// runs to the end of the text.
std::string ExtractQuoted(std::string_view text, std::size_t& p) {
    std::string piece;
    ++p;
    while (p < text.size()) {
        if (text[p] == '"') {
            if (p + 1 < text.size() && text[p + 1] == '"') {
                piece += '"';
                p += 2;
                continue;
            }
            ++p;
            return piece;
        }
        piece += text[p++];
    }
    return piece;
}

}  // namespace

void SplitDelimited(char delimiter, std::string_view text, std::vector<std::string>& target) {
    target.clear();
    text = text.substr(0, text.find('\0'));
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n && IsBlank(text[p]))
        ++p;
    while (p < n) {
        if (text[p] == '"') {
            target.push_back(ExtractQuoted(text, p));
        } else {
            const std::size_t start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != delimiter)
                ++p;
            target.emplace_back(text.substr(start, p - start));
        }
        while (p < n && IsBlank(text[p]))
            ++p;
        if (p < n && text[p] == delimiter) {
            if (p + 1 == n)
                target.emplace_back();
            do {
                ++p;
            } while (p < n && IsBlank(text[p]));
        }
    }
}

void AppendMeranie(TMeraniaArray& target, const std::string_view* fields, std::size_t count) {
    if (count < 4)
        throw std::invalid_argument("a measurement needs four or more fields");
    const bool isRelative = count == 5;
    // The record goes in first, so a conversion error leaves it partly filled.
    TMeranie& record = target.emplace_back();
    record.Cable.assign(fields[0]);
    record.Fiber.assign(fields[1]);
    record.WaveLength = TextToFloat(fields[2]);
    record.Value = TextToFloat(fields[3]);
    record.IsRelative = isRelative;
    if (isRelative)
        record.Reference = TextToFloat(fields[4]);
}

void AddMeranie(const std::vector<std::string>& fields) {
    std::string_view views[5];
    const std::size_t used = fields.size() < 5 ? fields.size() : 5;
    for (std::size_t i = 0; i < used; ++i)
        views[i] = fields[i];
    AppendMeranie(Merania, views, fields.size());
}

void ParseMeraniaLines(const std::vector<std::string>& lines) {
    std::vector<std::string> fields;
    for (const std::string& line : lines) {
        if (line.empty())
            continue;
        SplitDelimited('@', line, fields);
        if (fields.size() > 3)
            AddMeranie(fields);
    }
}

void ParseDeviceDump(std::string_view text) {
    ParseDeviceDump(text, Merania);
}

std::string DumpDamageText(const TDumpDamage& damage) {
    if (damage.Count == 0)
        return {};
    return Counted(damage.Count, "record", "records") + " left out: control bytes split " +
           (damage.Count == 1 ? "its" : "their") + " fields (first: \"" +
           EscapeLatin1Controls(damage.FirstLine) + "\")";
}

namespace {

// Tells damage of the lines whose fields control bytes split and scans the text with those
// lines as blanks, which give no record.
template <class TScan>
void ScanLeavingSplitLinesOut(std::string_view text, TDumpDamage* damage, TScan&& scan) {
    const std::vector<TTextRange> split = FindSplitLines(text);
    if (damage != nullptr) {
        damage->Count = split.size();
        damage->FirstLine.clear();
        if (!split.empty())
            damage->FirstLine = text.substr(split[0].Begin, split[0].End - split[0].Begin);
    }
    if (split.empty()) {
        scan(text);
        return;
    }
    std::string blanked(text);
    for (const TTextRange& line : split)
        blanked.replace(line.Begin, line.End - line.Begin, line.End - line.Begin, ' ');
    scan(std::string_view(blanked));
}

}  // namespace

void ParseDeviceDump(std::string_view text, TMeraniaArray& target, TDumpDamage* damage) {
    text = text.substr(0, text.find('\0'));
    // A fresh array rather than clear(): the old set's memory goes back before the new
    // one is reserved.
    target = TMeraniaArray();
    // The estimate is an upper bound; for a text of mostly empty lines it can be far more
    // than memory allows, and then the array just grows as records come.
    try {
        target.reserve(EstimateRecordCount(text));
    } catch (const std::bad_alloc&) {
    }
    AdviseHugePages(target.data(), target.capacity() * sizeof(TMeranie));
    ScanLeavingSplitLinesOut(text, damage,
                             [&](std::string_view scanned) { ScanDeviceDump(scanned, target); });
}

void ParseDeviceDumpInBatches(std::string_view text, std::size_t batch,
                              const std::function<void(TMeraniaArray&)>& take,
                              TDumpDamage* damage) {
    text = text.substr(0, text.find('\0'));
    TMeraniaArray records;
    records.reserve(batch);
    ScanLeavingSplitLinesOut(text, damage, [&](std::string_view scanned) {
        ScanDeviceDump(scanned, records, batch, take);
    });
}
