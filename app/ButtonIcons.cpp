#include "app/ButtonIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <numbers>

namespace {

constexpr int kSize = 16;

void drawPicture(QPainter& p, ButtonPicture which) {
    const QColor ink(0, 0, 128);
    p.setPen(QPen(ink, 1));
    switch (which) {
    case ButtonPicture::Spectrum: {
        // A peaked trace over a base line.
        p.setPen(QPen(Qt::blue, 1));
        const QPoint pts[] = {{1, 14}, {4, 12}, {6, 3}, {8, 12}, {10, 10}, {12, 13}, {15, 14}};
        p.drawPolyline(pts, 7);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(0, 15, 15, 15);
        break;
    }
    case ButtonPicture::Waveform: {
        p.setPen(QPen(Qt::blue, 1));
        QPainterPath path;
        for (int x = 0; x < kSize; ++x) {
            const double y = 8 - 6 * std::sin(x * 2 * std::numbers::pi / 15);
            x == 0 ? path.moveTo(x, y) : path.lineTo(x, y);
        }
        p.drawPath(path);
        break;
    }
    case ButtonPicture::Sonagraph:
        for (int y = 1; y < 15; ++y)
            for (int x = 1; x < 15; ++x) {
                const int v = 255 - ((x == 5 || x == 10) ? 200 : (x * 7 + y * 5) % 60);
                p.setPen(QColor(v, v, v));
                p.drawPoint(x, y);
            }
        break;
    case ButtonPicture::Fsk:
        p.setPen(QPen(QColor(0, 128, 0), 2));
        p.drawLine(5, 1, 5, 14);
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(11, 1, 11, 14);
        break;
    case ButtonPicture::Cw: {
        p.setPen(QPen(Qt::blue, 1));
        const QPoint pts[] = {{0, 14}, {5, 13}, {8, 2}, {11, 13}, {15, 14}};
        p.drawPolyline(pts, 5);
        p.setPen(QPen(QColor(0, 128, 0), 1));
        p.drawLine(8, 0, 8, 15);
        break;
    }
    case ButtonPicture::Settings:
        // Three sliders.
        for (int i = 0; i < 3; ++i) {
            const int y = 3 + i * 5;
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(1, y, 14, y);
            p.fillRect(QRect(3 + i * 4, y - 2, 3, 5), ink);
        }
        break;
    case ButtonPicture::Save:
        // A diskette.
        p.fillRect(QRect(1, 1, 14, 14), ink);
        p.fillRect(QRect(4, 1, 8, 5), Qt::white);
        p.fillRect(QRect(3, 9, 10, 6), QColor(220, 220, 220));
        break;
    case ButtonPicture::Open:
        // An opened folder.
        p.setBrush(QColor(230, 200, 80));
        p.drawRect(QRect(1, 4, 13, 10));
        p.drawRect(QRect(1, 2, 5, 2));
        break;
    case ButtonPicture::Freeze:
        // A snowflake: the display stands still.
        p.setPen(QPen(QColor(0, 90, 200), 1));
        p.drawLine(8, 1, 8, 15);
        p.drawLine(1, 8, 15, 8);
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
        break;
    }
}

} // namespace

QIcon MakeButtonIcon(ButtonPicture which) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawPicture(p, which);
    p.end();
    return QIcon(pixmap);
}
