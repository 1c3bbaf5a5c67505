#pragma once

#include <QIcon>

// The program's own pictures (SVG in the pictures resource), e.g. Picture("open").
QIcon Picture(const char* name);
