#pragma once

#include <QImage>
#include <QSizeF>
#include <string>

// A logo (the bytes of a PNG or SVG file, type "png" or "svg") as an opaque picture for a
// report: as large as fits boxPt (points) with its aspect kept, at dotsPerInch, laid on white
// so that no pixel is transparent (PDF/A-1 allows no transparency). Also sets sizePt to the
// size it is to be drawn at. A null image for no logo or one that cannot be read.
QImage OpaqueLogo(const std::string& bytes, const std::string& type, QSizeF boxPt,
                  double dotsPerInch, QSizeF& sizePt);
