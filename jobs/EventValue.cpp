#include "jobs/EventValue.h"

#include <nlohmann/json.hpp>

#include "jobs/ArchiveErrors.h"
#include "jobs/Base64.h"
#include "jobs/JobLimits.h"

namespace {
using TValueJson = nlohmann::json;

// The library's text of a value: keys sorted (its objects are sorted maps), no spaces.
std::string DumpValue(const TValueJson& value) {
    try {
        return value.dump();
    } catch (const TValueJson::type_error&) {
        throw EArchiveError(TArchiveErrc::BadInput,
                            "an event's value holds a text that is not UTF-8");
    }
}

[[noreturn]] void RefuseValue(const std::string& value, const char* expected) {
    const std::string shown = value.size() > 80 ? value.substr(0, 80) + "..." : value;
    throw EArchiveError(TArchiveErrc::BadDocument,
                        "an event's value " + shown + " is not " + expected);
}

TValueJson ParseValue(const std::string& value, const char* expected) {
    try {
        return TValueJson::parse(value);
    } catch (const TValueJson::parse_error&) {
        RefuseValue(value, expected);
    }
}

// The member key of an object value, which must be a string.
std::string StringMember(const TValueJson& object, const char* key, const std::string& value,
                         const char* expected) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string())
        RefuseValue(value, expected);
    return found->get<std::string>();
}

// At most 60 bytes of a text, not cutting a UTF-8 character.
std::string CutForConflict(std::string text) {
    constexpr std::size_t Most = 60;
    if (text.size() <= Most)
        return text;
    std::size_t end = Most;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end) + "...";
}

std::string PlainJsonText(const TValueJson& json) {
    if (json.is_null())
        return "(none)";
    if (json.is_string())
        return json.get<std::string>().empty() ? "(empty)" : json.get<std::string>();
    if (json.is_boolean())
        return json.get<bool>() ? "yes" : "no";
    if (!json.is_object())
        return json.dump();
    if (json.contains("void") && json["void"].is_boolean()) {
        const std::string reason = json.value("reason", std::string());
        return json["void"].get<bool>() ? "void" + (reason.empty() ? "" : " (" + reason + ")")
                                        : "not void";
    }
    if (json.contains("data") && json.contains("type"))
        return PlainJsonText(json["type"]) + " logo";
    std::string text;
    for (const auto& member : json.items())
        text += (text.empty() ? "" : ", ") + PlainJsonText(member.value());
    return text;
}
}  // namespace

std::string NullValue() {
    return "null";
}

std::string StringValue(const std::string& text) {
    return DumpValue(text);
}

std::string IntegerValue(std::int64_t number) {
    return DumpValue(number);
}

std::string LogoValue(const std::string& bytes, const std::string& type) {
    if (bytes.empty())
        return NullValue();
    return DumpValue({{"data", Base64Encode(bytes)}, {"type", type}});
}

std::string AddedValue(const std::string& meter, const std::string& source) {
    return DumpValue({{"meter", meter}, {"source", source}});
}

std::string DirectionValue(TDirection direction) {
    return StringValue(DirectionName(direction));
}

std::string VoidValue(bool isVoid, const std::string& reason) {
    return DumpValue({{"reason", reason}, {"void", isVoid}});
}

void ReadNull(const std::string& value) {
    if (!ParseValue(value, "null").is_null())
        RefuseValue(value, "null");
}

std::string ReadString(const std::string& value) {
    const TValueJson json = ParseValue(value, "a string");
    if (!json.is_string())
        RefuseValue(value, "a string");
    return json.get<std::string>();
}

int ReadFibres(const std::string& value) {
    static constexpr char Expected[] = "a fibre count";
    const TValueJson json = ParseValue(value, Expected);
    if (!json.is_number_integer())
        RefuseValue(value, Expected);
    const auto count = json.get<std::int64_t>();
    if (count < 0 || count > MaxExpectedFibres)
        RefuseValue(value, Expected);
    return static_cast<int>(count);
}

TLogoValue ReadLogoValue(const std::string& value) {
    static constexpr char Expected[] = "a logo";
    const TValueJson json = ParseValue(value, Expected);
    if (json.is_null())
        return {};
    if (!json.is_object())
        RefuseValue(value, Expected);
    const std::optional<std::string> bytes =
        Base64Decode(StringMember(json, "data", value, Expected));
    TLogoValue logo{bytes.value_or(""), StringMember(json, "type", value, Expected)};
    if (!bytes || bytes->empty() || (logo.Type != "png" && logo.Type != "svg"))
        RefuseValue(value, Expected);
    return logo;
}

TAddedValue ReadAdded(const std::string& value) {
    static constexpr char Expected[] = "a download's meter and source";
    const TValueJson json = ParseValue(value, Expected);
    if (!json.is_object())
        RefuseValue(value, Expected);
    return {StringMember(json, "meter", value, Expected),
            StringMember(json, "source", value, Expected)};
}

TDirection ReadDirection(const std::string& value) {
    const std::optional<TDirection> direction = FindDirection(ReadString(value));
    if (!direction)
        RefuseValue(value, "a direction");
    return *direction;
}

std::string ReadDate(const std::string& value) {
    std::string date = ReadString(value);
    if (!date.empty() && !IsCalendarDate(date))
        RefuseValue(value, "a date");
    return date;
}

TVoidValue ReadVoid(const std::string& value) {
    static constexpr char Expected[] = "a void mark";
    const TValueJson json = ParseValue(value, Expected);
    if (!json.is_object() || !json.contains("void") || !json["void"].is_boolean())
        RefuseValue(value, Expected);
    return {json["void"].get<bool>(), StringMember(json, "reason", value, Expected)};
}

std::string PlainValueText(const std::string& value) {
    try {
        return CutForConflict(PlainJsonText(TValueJson::parse(value)));
    } catch (const TValueJson::exception&) {
        return CutForConflict(value);
    }
}
