#include "data/DumpScanner.h"

#include <algorithm>
#include <array>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace {

// Bytes that end an unquoted line piece: "^" and every blank except TAB (which stands for
// "@"). LF ends it both as a blank and as the start of an LF CR line end.
constexpr std::array<bool, 256> MakeLineStops() {
    std::array<bool, 256> stops{};
    for (int c = 1; c <= 32; ++c)
        stops[c] = c != '\t';
    stops['^'] = true;
    return stops;
}
constexpr std::array<bool, 256> LineStops = MakeLineStops();

bool IsLineStop(char c) {
    return LineStops[static_cast<unsigned char>(c)];
}

bool SplitsFields(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code < 32 && c != '\t' && c != '\n' && c != '\r';
}

class TDumpScanner {
public:
    TDumpScanner(std::string_view text, TMeraniaArray& target) : text_(text), target_(target) {}
    TDumpScanner(std::string_view text, TMeraniaArray& target, std::size_t batch,
                 const std::function<void(TMeraniaArray&)>& take)
        : text_(text), target_(target), batch_(batch), take_(&take) {}

    void Run() {
        const std::size_t n = text_.size();
        std::size_t p = SkipBlanks(0);
        while (p < n) {
            if (text_[p] == '"') {
                p = QuotedLine(p);
            } else {
                const std::size_t start = p;
                while (p < n && !IsLineStop(text_[p]))
                    ++p;
                if (p > start)
                    Line(start, p);
            }
            p = SkipBlanks(p);
            // An empty piece after a final delimiter carries no record, so the delimiter
            // is simply passed.
            if (const std::size_t width = LineEndWidth(p); width != 0)
                p = SkipBlanks(p + width);
            if (take_ != nullptr && target_.size() >= batch_)
                HandOn();
        }
        if (take_ != nullptr && !target_.empty())
            HandOn();
    }

private:
    void HandOn() {
        (*take_)(target_);
        target_.clear();
    }

    bool IsPair(std::size_t p) const {
        return text_[p] == '\n' && p + 1 < text_.size() && text_[p + 1] == '\r';
    }

    std::size_t LineEndWidth(std::size_t p) const {
        if (p >= text_.size())
            return 0;
        if (text_[p] == '^')
            return 1;
        return IsPair(p) ? 2 : 0;
    }

    // Blanks as the rewritten text has them: TAB is "@" there and LF CR is "^".
    std::size_t SkipBlanks(std::size_t p) const {
        while (p < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[p]);
            if (c < 1 || c > 32 || c == '\t' || IsPair(p))
                break;
            ++p;
        }
        return p;
    }

    // A line piece in double quotes: its rewritten, unquoted text goes through the
    // general field split, since blanks and quotes inside may cut it anywhere.
    std::size_t QuotedLine(std::size_t p) {
        const std::size_t n = text_.size();
        quoted_.clear();
        ++p;
        while (p < n) {
            const char c = text_[p];
            if (c == '"') {
                if (p + 1 < n && text_[p + 1] == '"') {
                    quoted_ += '"';
                    p += 2;
                    continue;
                }
                ++p;
                break;
            }
            if (IsPair(p)) {
                quoted_ += '^';
                p += 2;
                continue;
            }
            quoted_ += c == '\t' ? '@' : c;
            ++p;
        }
        if (!quoted_.empty()) {
            SplitDelimited('@', quoted_, pieces_);
            if (pieces_.size() > 3) {
                std::string_view views[5];
                for (std::size_t i = 0; i < 5 && i < pieces_.size(); ++i)
                    views[i] = pieces_[i];
                AppendMeranie(target_, views, pieces_.size());
            }
        }
        return p;
    }

    // An unquoted line piece holds no blank but TAB, so its fields are cut at "@" and TAB
    // only; a field may still be quoted.
    void Line(std::size_t p, std::size_t end) {
        std::string_view fields[5];
        std::size_t count = 0;
        while (p < end) {
            std::string_view field;
            if (text_[p] == '"') {
                std::string& store = scratch_[count < 5 ? count : 5];
                store.clear();
                ++p;
                while (p < end) {
                    const char c = text_[p];
                    if (c == '"') {
                        if (p + 1 < end && text_[p + 1] == '"') {
                            store += '"';
                            p += 2;
                            continue;
                        }
                        ++p;
                        break;
                    }
                    store += c == '\t' ? '@' : c;
                    ++p;
                }
                field = store;
            } else {
                const std::size_t start = p;
                while (p < end && text_[p] != '@' && text_[p] != '\t')
                    ++p;
                field = text_.substr(start, p - start);
            }
            if (count < 5)
                fields[count] = field;
            ++count;
            if (p < end && (text_[p] == '@' || text_[p] == '\t')) {
                if (p + 1 == end) {
                    if (count < 5)
                        fields[count] = {};
                    ++count;
                }
                ++p;
            }
        }
        if (count > 3)
            AppendMeranie(target_, fields, count);
    }

    std::string_view text_;
    TMeraniaArray& target_;
    std::string quoted_;
    std::array<std::string, 6> scratch_;
    std::vector<std::string> pieces_;
    std::size_t batch_ = 0;
    const std::function<void(TMeraniaArray&)>* take_ = nullptr;
};

}  // namespace

void ScanDeviceDump(std::string_view text, TMeraniaArray& target) {
    TDumpScanner(text, target).Run();
}

void ScanDeviceDump(std::string_view text, TMeraniaArray& target, std::size_t batch,
                    const std::function<void(TMeraniaArray&)>& take) {
    TDumpScanner(text, target, batch, take).Run();
}

namespace {

// The records of text, or nullopt when a number does not convert.
std::optional<TMeraniaArray> RecordsOf(std::string_view text) {
    TMeraniaArray records;
    try {
        ScanDeviceDump(text, records);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return records;
}

std::string WithoutSplitters(std::string_view text) {
    std::string kept;
    for (const char c : text) {
        if (!SplitsFields(c))
            kept += c;
    }
    return kept;
}

// Whether the line's control bytes cut its fields: its records differ from those it gives
// with the control bytes taken out (in its records' texts as well, where quotes kept them).
bool IsSplitLine(std::string_view line) {
    const std::optional<TMeraniaArray> read = RecordsOf(line);
    const std::optional<TMeraniaArray> whole = RecordsOf(WithoutSplitters(line));
    if (!read || !whole)
        return false;
    if (read->size() != whole->size())
        return true;
    for (std::size_t i = 0; i < read->size(); ++i) {
        const TMeranie& a = (*read)[i];
        const TMeranie& b = (*whole)[i];
        if (WithoutSplitters(a.Cable) != b.Cable || WithoutSplitters(a.Fiber) != b.Fiber ||
            a.IsRelative != b.IsRelative || a.WaveLength != b.WaveLength || a.Value != b.Value ||
            a.Reference != b.Reference)
            return true;
    }
    return false;
}

}  // namespace

std::vector<TTextRange> FindSplitLines(std::string_view text) {
    std::vector<TTextRange> lines;
    // Nearly every dump has no such byte at all.
    if (std::none_of(text.begin(), text.end(), SplitsFields))
        return lines;
    // Lines end at CR, LF and "^" outside quotes; a quoted text may hold them.
    std::size_t begin = 0;
    bool quoted = false;
    bool splitter = false;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size()) {
            quoted = quoted != (text[i] == '"');
            splitter = splitter || SplitsFields(text[i]);
            if (quoted || (text[i] != '\n' && text[i] != '\r' && text[i] != '^'))
                continue;
        }
        if (splitter && IsSplitLine(text.substr(begin, i - begin)))
            lines.push_back({begin, i});
        begin = i + 1;
        splitter = false;
    }
    return lines;
}

std::size_t EstimateRecordCount(std::string_view text) {
    std::size_t lineFeeds = 0;
    std::size_t returns = 0;
    std::size_t carets = 0;
    for (const char c : text) {
        lineFeeds += c == '\n';
        returns += c == '\r';
        carets += c == '^';
    }
    const std::size_t estimate = (lineFeeds > returns ? lineFeeds : returns) + carets + 1;
    // The shortest record line, "@@0@0" and its line end, takes six bytes.
    const std::size_t most = text.size() / 6 + 1;
    return estimate < most ? estimate : most;
}
