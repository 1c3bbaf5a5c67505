#pragma once

#include <QLatin1String>
#include <QLocale>
#include <QString>
#include <cstddef>

// Counts as the window's status line says them, whatever the user's locale: digits grouped in
// threes with commas ("1,200").
inline QString GroupedCount(std::size_t count) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong{count});
}

// "1 measurement", "1,200 measurements".
inline QString CountText(std::size_t count, const char* one, const char* many) {
    return GroupedCount(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}
