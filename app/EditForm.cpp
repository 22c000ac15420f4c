#include "app/EditForm.h"

#include "app/Form1.h"
#include "app/WindowLook.h"

#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Room around the picture when the viewer is shown: frame and caption as the
// main window counts them, and the menu bar.
constexpr int kExtraWidth = 20;
constexpr int kExtraHeight = 50;
// The menu bar takes what the frame leaves of the 50: the picture then fits
// exactly, without scroll bars.
constexpr int kMenuHeight = kExtraHeight - TForm1::kFrameHeight;
constexpr int kDesignWidth = 500;
constexpr int kDesignHeight = 250;

} // namespace

TEditForm::TEditForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    SetWindowLook(this, QStringLiteral("Quarl Image Viewer"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setNativeMenuBar(false);
    MainMenu1->setFixedHeight(kMenuHeight);
    QMenu* file = MainMenu1->addMenu(QStringLiteral("File"));
    Exit1 = file->addAction(QStringLiteral("Close"));
    connect(Exit1, &QAction::triggered, this, &TEditForm::Exit1Click);
    layout->setMenuBar(MainMenu1);

    Scroller = new QScrollArea(this);
    Scroller->setFrameShape(QFrame::NoFrame);
    Scroller->setWidgetResizable(false);
    Scroller->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = new QLabel;
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Scroller->setWidget(Image1);
    layout->addWidget(Scroller);

    resize(kDesignWidth - TForm1::kFrameWidth, kDesignHeight - TForm1::kFrameHeight);
}

void TEditForm::SetPicture(const QImage& picture) {
    picture_ = picture;
    Image1->setPixmap(QPixmap::fromImage(picture_));
    Image1->resize(picture_.size());
}

int TEditForm::OuterWidth() const {
    return width() + TForm1::kFrameWidth;
}

int TEditForm::OuterHeight() const {
    return height() + TForm1::kFrameHeight;
}

void TEditForm::FormShow() {
    int w = picture_.width() + kExtraWidth - TForm1::kFrameWidth;
    int h = picture_.height() + kExtraHeight - TForm1::kFrameHeight;
    // A picture larger than the screen gets a window as large as the screen
    // allows, and scroll bars: the desktop keeps any window within it.
    if (const QScreen* s = screen()) {
        const QSize room =
            s->availableGeometry().size() - QSize(TForm1::kFrameWidth, TForm1::kFrameHeight);
        w = std::min(w, room.width());
        h = std::min(h, room.height());
    }
    resize(w, h);
}

void TEditForm::Exit1Click() {
    hide();
}

void TEditForm::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QWidget::showEvent(event);
}
