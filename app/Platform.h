// What the windows take from the desktop, gathered in one place so that tests
// can replace it: the message boxes, the millisecond clock and the pause of
// the load check, the file dialogs, the web browser, the splash's time and
// the metafile converters. main() wires the real ones (DesktopPlatform).
#pragma once

#include "app/PictureFile.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QUrl;
class QWidget;

// What the save or open dialog is asked to show.
struct FileDialogRequest {
    enum class Kind { Save, Open };
    Kind kind = Kind::Open;
    QString directory; // where it starts
    QString fileName;  // the name it proposes
    // One entry of the dialog's file-type list: the text shown, and the
    // patterns it stands for, separated by ";".
    struct Filter {
        QString text;
        QString patterns;
    };
    std::vector<Filter> filters;
};

struct Platform {
    // A modal box with the caption, the error symbol and one "OK" button.
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> errorBox;
    // Milliseconds since some fixed moment, unsigned 32-bit, wrapping.
    std::function<std::uint32_t()> clockMs;
    // Holds the GUI thread for `ms` milliseconds.
    std::function<void(int ms)> sleepMs;

    // The toolkit's error box: caption "Quarl", the error symbol, one "OK"
    // button, for a snapshot or picture that cannot be written or read.
    std::function<void(QWidget* parent, const QString& text)> toolkitErrorBox;
    // Runs a file dialog; the chosen file's full path, or empty if cancelled.
    std::function<QString(QWidget* parent, const FileDialogRequest& request)> chooseFile;
    // Hands an address to the system's web browser; the outcome is not looked at.
    std::function<void(const QUrl& url)> openUrl;
    // How long the about window shows at start-up, in milliseconds.
    int splashIntervalMs = 4000;
    // The programs that turn metafiles into pictures.
    MetafileConverters metafiles;
};

Platform DesktopPlatform();
