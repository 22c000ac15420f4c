// The maker panel on the button bar: the maker's name in grey, turning into
// the web address in blue while the pointer is over it, and opening that
// address in the browser on a click.
//
// The pointer leaving the panel is noticed only when it next moves over a
// bare part of the button bar or of the read-out row; the controls on them
// take their own movements, and leaving the window straight from the panel
// leaves the address shown.
#include "app/Form1.h"
#include "app/Maker.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace {

void ShowOnPanel(QLabel* panel, const char* caption, const QColor& colour) {
    panel->setText(QString::fromLatin1(caption));
    QPalette pal = panel->palette();
    pal.setColor(QPalette::WindowText, colour);
    panel->setPalette(pal);
}

} // namespace

void TForm1::WatchMakerPanel() {
    // Moves without a button held reach only widgets that track the mouse.
    for (QWidget* w : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Panel3),
                       static_cast<QWidget*>(Panel6)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

void TForm1::Panel1MouseMove() {
    if (Panel1->text() == QLatin1String(kMakerName))
        ShowOnPanel(Panel1, kMakerAddress, QColor(0, 0, 255));
}

void TForm1::Panel3MouseMove() {
    if (Panel1->text() == QLatin1String(kMakerAddress))
        ShowOnPanel(Panel1, kMakerName, QColor(128, 128, 128));
}

void TForm1::Panel1Click() {
    platform_.openUrl(QUrl(QString::fromLatin1(kMakerUrl)));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Panel1) {
            Panel1MouseMove();
        } else if (watched == Panel3 || watched == Panel6) {
            // A move over one of the bar's controls comes up to the bar when
            // the control ignores it: only the bare bar counts.
            auto* panel = static_cast<QWidget*>(watched);
            const auto* move = static_cast<QMouseEvent*>(event);
            if (panel->childAt(move->position().toPoint()) == nullptr) Panel3MouseMove();
        }
    } else if (watched == Panel1 && event->type() == QEvent::MouseButtonRelease) {
        // A click: the left button let go over the panel it was pressed on.
        const auto* release = static_cast<QMouseEvent*>(event);
        if (release->button() == Qt::LeftButton &&
            Panel1->rect().contains(release->position().toPoint()))
            Panel1Click();
    }
    return QWidget::eventFilter(watched, event);
}
