#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>

// What the tests expect of a thrown exception, in one place: the exception itself for checks
// of its own fields, its message, or (by the macros below) its message and system code.

// The exception of type E that action throws; nothing when it throws none. Exceptions of
// other types go on, for the test to fail by.
template <class E, class F>
std::optional<E> ThrownBy(F&& action) {
    try {
        std::forward<F>(action)();
    } catch (const E& error) {
        return error;
    }
    return std::nullopt;
}

// The message of the E that action throws, or "no error".
template <class E, class F>
std::string MessageOf(F&& action) {
    const std::optional<E> error = ThrownBy<E>(std::forward<F>(action));
    return error ? std::string(error->what()) : std::string("no error");
}

// An expected code given as an errno value, a std::errc or a std::error_code.
inline std::error_code ExpectedCode(int errorNumber) {
    return {errorNumber, std::generic_category()};
}
inline std::error_code ExpectedCode(std::errc code) {
    return std::make_error_code(code);
}
inline std::error_code ExpectedCode(const std::error_code& code) {
    return code;
}

inline std::string DescribeCode(const std::error_code& code) {
    if (!code) {
        return "no code";
    }
    return std::string(code.category().name()) + " " + std::to_string(code.value()) + " (" +
           code.message() + ")";
}

// Whether action throws an E whose what() is message and, unless code is std::nullopt, whose
// code() equals code.
template <class E, class F, class Code>
testing::AssertionResult ThrowsError(F&& action, const char* statement, const char* type,
                                     const Code& code, const std::string& message) {
    const std::optional<E> error = ThrownBy<E>(std::forward<F>(action));
    if (!error) {
        return testing::AssertionFailure() << statement << " threw no " << type;
    }
    auto result = testing::AssertionSuccess();
    if (error->what() != message) {
        result = testing::AssertionFailure() << statement << " threw " << type << " \""
                                             << error->what() << "\", not \"" << message << "\"";
    }
    if constexpr (!std::is_same_v<Code, std::nullopt_t>) {
        static_assert(
            requires { error->code(); }, "the exception carries no code");
        if (error->code() != code) {
            result = testing::AssertionFailure()
                     << statement << " threw " << type << " \"" << error->what() << "\" with "
                     << DescribeCode(error->code()) << ", not " << DescribeCode(code);
        }
    }
    return result;
}

// Expects statement to throw ExceptionType with this what() and this code() (an errno value,
// std::errc or std::error_code). Further text can be streamed into it as into EXPECT_TRUE.
#define EXPECT_SYSTEM_ERROR(statement, ExceptionType, code, message)                        \
    EXPECT_TRUE((ThrowsError<ExceptionType>([&] { statement; }, #statement, #ExceptionType, \
                                            ExpectedCode(code), (message))))

// The same for an exception that carries no system code, or whose code does not matter.
#define EXPECT_THROW_MESSAGE(statement, ExceptionType, message)                             \
    EXPECT_TRUE((ThrowsError<ExceptionType>([&] { statement; }, #statement, #ExceptionType, \
                                            std::nullopt, (message))))
