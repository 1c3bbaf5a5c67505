#pragma once

#include <stdexcept>

#include "sys/FileErrors.h"

// A text that is not a number ("'%s' is not a valid floating point value" and its kin).
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
