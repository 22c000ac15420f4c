// What the windows take from the desktop, gathered in one place so that tests
// can replace it: the message boxes, the millisecond clock and the pause of
// the load check. main() wires the real ones (DesktopPlatform).
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QWidget;

struct Platform {
    // A modal box with the caption, the error symbol and one "OK" button.
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> errorBox;
    // Milliseconds since some fixed moment, unsigned 32-bit, wrapping.
    std::function<std::uint32_t()> clockMs;
    // Holds the GUI thread for `ms` milliseconds.
    std::function<void(int ms)> sleepMs;
};

Platform DesktopPlatform();
