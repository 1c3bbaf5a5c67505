#pragma once

#include <cstdint>
#include <string>

#include "jobs/JobTypes.h"

// The values of job events (JobEvent.h) as JSON texts: keys sorted, no spaces, so that one
// value has one text and so one event id. Makers throw EArchiveError (BadInput) for a text that
// is not UTF-8; readers throw EArchiveError (BadDocument) for a value of the wrong shape.

std::string NullValue();
std::string StringValue(const std::string& text);
std::string IntegerValue(std::int64_t number);
// {"data":BASE64,"type":type}, or null for no logo (empty bytes).
std::string LogoValue(const std::string& bytes, const std::string& type);
// {"meter":..,"source":..}
std::string AddedValue(const std::string& meter, const std::string& source);
// "a-b", "b-a" or "".
std::string DirectionValue(TDirection direction);
// {"reason":..,"void":true|false}
std::string VoidValue(bool isVoid, const std::string& reason);

struct TLogoValue {
    std::string Bytes;  // empty: no logo
    std::string Type;
};
struct TAddedValue {
    std::string Meter;
    std::string Source;
};
struct TVoidValue {
    bool Void = false;
    std::string Reason;
};

// Only a null.
void ReadNull(const std::string& value);
std::string ReadString(const std::string& value);
// An integer from 0 to MaxExpectedFibres.
int ReadFibres(const std::string& value);
// null, or data that decodes and a type "png" or "svg".
TLogoValue ReadLogoValue(const std::string& value);
TAddedValue ReadAdded(const std::string& value);
TDirection ReadDirection(const std::string& value);
// "YYYY-MM-DD" (a real date) or "".
std::string ReadDate(const std::string& value);
TVoidValue ReadVoid(const std::string& value);

// The value as a person reads it: a string without quotes ("(empty)" for ""), an object's
// members' values joined by ", " ("void" for a void, "not void"), null as "(none)"; long
// texts cut to 60 bytes and "...".
std::string PlainValueText(const std::string& value);
