#pragma once

#include <string>

// The system's text for an error number, as the component quotes it: at most 255 characters,
// without trailing blanks, control characters or full stops.
std::string SystemErrorText(int errorNumber);
