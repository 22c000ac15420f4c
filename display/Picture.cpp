#include "display/Picture.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kTraceBlue = 0xFF0000FF;
constexpr QRgb kMarkGreen = 0xFF008000;
constexpr QRgb kSpaceRed = 0xFFFF0000;
constexpr QRgb kBlack = 0xFF000000;

// Where the annotation's lines start: from the right edge, and down.
constexpr int kAnnotationFromRight = 80;
constexpr int kAnnotationRows[] = {5, 25, 45};
constexpr int kAnnotationPoints = 8;

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

// One segment of the trace, from a up to but not including b, the way a
// Windows GDI polyline draws its segments (so the shared point of two
// segments is drawn once, and the polyline's last point not at all). The
// pixels are Bresenham's: along the longer axis one pixel per step, the
// other coordinate the nearest to the true line, halves rounded away from a.
// Only the steps whose pixel lies inside width × height are visited, so a
// point far outside the picture costs no more than the picture is wide.
template <typename Plot>
void DrawSegment(DisplayPoint a, DisplayPoint b, int width, int height, Plot plot) {
    if ((a.x < 0 && b.x < 0) || (a.y < 0 && b.y < 0) || (a.x >= width && b.x >= width) ||
        (a.y >= height && b.y >= height))
        return; // wholly beyond one edge
    // 64 bits: the coordinates are any 32-bit values, their differences not.
    const int64_t dx = int64_t{b.x} - a.x;
    const int64_t dy = int64_t{b.y} - a.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t steps = std::llabs(xMajor ? dx : dy);
    const int64_t across = std::llabs(xMajor ? dy : dx);
    if (steps == 0) return; // a segment of no length draws nothing
    const int64_t along0 = xMajor ? a.x : a.y;
    const int64_t across0 = xMajor ? a.y : a.x;
    const int alongStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int acrossStep = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const int64_t alongSize = xMajor ? width : height;
    const int64_t acrossSize = xMajor ? height : width;

    // Steps k in [0, steps) whose coordinate along the longer axis is inside.
    int64_t first = 0;
    int64_t last = steps - 1;
    if (alongStep > 0) {
        first = std::max<int64_t>(first, -along0);
        last = std::min<int64_t>(last, alongSize - 1 - along0);
    } else {
        first = std::max<int64_t>(first, along0 - (alongSize - 1));
        last = std::min<int64_t>(last, along0);
    }
    if (first > last) return;

    // The offset across at step k is floor((2·k·across + steps) / (2·steps)):
    // the nearest whole offset, halves up. Computed once for the first step
    // (128 bits: k and across may both be near 2³²), then kept as quotient
    // and remainder.
    const int64_t denominator = 2 * steps;
    const __int128 start = static_cast<__int128>(2 * first) * across + steps;
    int64_t offset = static_cast<int64_t>(start / denominator);
    int64_t remainder = static_cast<int64_t>(start % denominator);
    for (int64_t k = first; k <= last; ++k) {
        const int64_t acrossAt = across0 + acrossStep * offset;
        if (acrossAt >= 0 && acrossAt < acrossSize) {
            const int along = static_cast<int>(along0 + alongStep * k);
            if (xMajor)
                plot(along, static_cast<int>(acrossAt));
            else
                plot(static_cast<int>(acrossAt), along);
        }
        remainder += 2 * across;
        if (remainder >= denominator) { // across ≤ steps: at most once
            remainder -= denominator;
            ++offset;
        }
    }
}

} // namespace

void ClearPicture(QImage& picture) {
    picture.fill(QColor::fromRgb(kWhite));
}

bool ClearPictureArea(QImage& picture, int width, int height) {
    width = std::min(width, picture.width());
    height = std::min(height, picture.height());
    if (width <= 0 || height <= 0) return false;
    if (picture.depth() != 32) { // not the display picture's format: slow but right
        QPainter p(&picture);
        p.fillRect(0, 0, width, height, QColor::fromRgb(kWhite));
        return true;
    }
    bool changed = false;
    uchar* row = picture.bits();
    const qsizetype stride = picture.bytesPerLine();
    for (int y = 0; y < height; ++y, row += stride) {
        auto* pixels = reinterpret_cast<QRgb*>(row);
        // Looked at only until the first pixel that is not white.
        if (!changed)
            changed = std::any_of(pixels, pixels + width, [](QRgb p) { return p != kWhite; });
        std::fill_n(pixels, width, kWhite);
    }
    return changed;
}

void DrawSpectrumTrace(QImage& picture, const DisplayPoint* points, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, kSpectrumSize - 1);
    if (last <= first) return; // one point alone is a polyline's end: not drawn
    const int width = picture.width();
    const int height = picture.height();
    // Written straight into the pixels: a painter with a cosmetic pen took
    // about 40 µs per block for these 511 points, this takes a few.
    if (picture.depth() == 32) {
        uchar* bits = picture.bits(); // detaches once, not once per pixel
        const qsizetype stride = picture.bytesPerLine();
        const auto plot = [bits, stride](int x, int y) {
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = kTraceBlue;
        };
        for (int i = first; i < last; ++i)
            DrawSegment(points[i], points[i + 1], width, height, plot);
    } else { // not the display picture's format: slow but right
        const auto plot = [&picture](int x, int y) {
            picture.setPixelColor(x, y, QColor::fromRgb(kTraceBlue));
        };
        for (int i = first; i < last; ++i)
            DrawSegment(points[i], points[i + 1], width, height, plot);
    }
}

void DrawCursorLines(QImage& picture, int markPos, int spacePos) {
    DrawColumn(picture, markPos, kMarkGreen);
    DrawColumn(picture, spacePos, kSpaceRed);
}

void DrawAnnotation(QImage& picture, const AnnotationTexts& texts) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
    font.setPointSize(kAnnotationPoints);
    QPainter p(&picture);
    p.setFont(font);
    // Metrics on the picture itself: the point size turns into pixels at its
    // resolution.
    const QFontMetrics metrics(font, &picture);
    const int x = picture.width() - kAnnotationFromRight;
    const std::string* lines[] = {&texts.rate, &texts.mark, &texts.space};
    const QRgb colours[] = {kBlack, kMarkGreen, kSpaceRed};
    for (int i = 0; i < 3; ++i) {
        const QString text = QString::fromStdString(*lines[i]);
        const int y = kAnnotationRows[i];
        p.fillRect(x, y, metrics.horizontalAdvance(text), metrics.height(), QColor(kWhite));
        p.setPen(QColor(colours[i]));
        p.drawText(x, y + metrics.ascent(), text);
    }
}
