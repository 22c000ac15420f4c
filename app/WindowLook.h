// What the main window and the picture viewer share in their look.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

// A top-level window with `caption`, the system menu, the minimise and the
// close box but no maximise box, in the font that stands in for "MS Sans
// Serif" 13 pixels high (DejaVu runs wider: 11 pixels take the same room).
inline void SetWindowLook(QWidget* window, const QString& caption) {
    window->setWindowTitle(caption);
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    window->setFont(f);
}
