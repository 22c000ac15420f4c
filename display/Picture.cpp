#include "display/Picture.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>

#include <algorithm>
#include <array>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kTraceBlue = 0xFF0000FF;
constexpr QRgb kMarkGreen = 0xFF008000;
constexpr QRgb kSpaceRed = 0xFFFF0000;

// One vertical line written straight into the pixel rows: exact, and far
// cheaper than a painter for a 1-pixel column.
void DrawColumn(QImage& picture, int column, QRgb colour) {
    if (column < 0 || column >= picture.width()) return;
    if (picture.depth() != 32) { // not the display picture's format: slow but right
        for (int y = 0; y < picture.height(); ++y)
            picture.setPixelColor(column, y, QColor::fromRgb(colour));
        return;
    }
    uchar* row = picture.bits(); // detaches once, not once per row
    const qsizetype stride = picture.bytesPerLine();
    for (int y = 0; y < picture.height(); ++y, row += stride)
        reinterpret_cast<QRgb*>(row)[column] = colour;
}

} // namespace

void ClearPicture(QImage& picture) {
    picture.fill(QColor::fromRgb(kWhite));
}

void DrawSpectrumTrace(QImage& picture, const DisplayPoint* points, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, kSpectrumSize - 1);
    if (last < first) return;
    // A copy on the stack: the painter wants QPoints, and nothing here may
    // allocate per block.
    std::array<QPoint, kSpectrumSize> polyline;
    const int count = last - first + 1;
    for (int i = 0; i < count; ++i)
        polyline[i] = QPoint(points[first + i].x, points[first + i].y);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(QColor::fromRgb(kTraceBlue));
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawPolyline(polyline.data(), count);
}

void DrawCursorLines(QImage& picture, int markPos, int spacePos) {
    DrawColumn(picture, markPos, kMarkGreen);
    DrawColumn(picture, spacePos, kSpaceRed);
}
