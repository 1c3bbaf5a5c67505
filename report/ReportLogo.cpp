#include "report/ReportLogo.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <cmath>

QImage OpaqueLogo(const std::string& bytes, const std::string& type, QSizeF boxPt,
                  double dotsPerInch, QSizeF& sizePt) {
    sizePt = {};
    if (bytes.empty() || (type != "png" && type != "svg"))
        return {};
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, type.c_str());
    const QSize natural = reader.size();
    if (!natural.isValid() || natural.isEmpty())
        return {};
    const QSizeF fitted = QSizeF(natural).scaled(boxPt, Qt::KeepAspectRatio);
    QSize pixels(std::max(1, static_cast<int>(std::lround(fitted.width() * dotsPerInch / 72))),
                 std::max(1, static_cast<int>(std::lround(fitted.height() * dotsPerInch / 72))));
    // A drawing is rendered at the size it is printed; a picture keeps its own pixels when it
    // has fewer, as more would only make the file larger.
    if (type == "svg")
        reader.setScaledSize(pixels);
    else if (natural.width() < pixels.width())
        pixels = natural;
    const QImage read = reader.read();
    if (read.isNull())
        return {};
    QImage opaque(pixels, QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), pixels), read);
    painter.end();
    sizePt = fitted;
    return opaque;
}
