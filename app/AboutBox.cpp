#include "app/AboutBox.h"

#include "app/Maker.h"

#include <QCloseEvent>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace {

// Laid out for 120 pixels per inch; the window follows the screen's resolution.
constexpr double kDesignDpi = 120.0;
constexpr char kProductName[] = "Quarl V2.0";
constexpr char kTitleFamily[] = "Niagara Engraved";
constexpr int kTitlePixels = 43;

// `font`, condensed as far as needed for `text` to fit `width` pixels: the
// stand-in fonts run wider than those the window was laid out with.
QFont Fitted(QFont font, const QString& text, int width) {
    const int wide = QFontMetrics(font).horizontalAdvance(text);
    if (wide > width) font.setStretch(std::max(50, width * 100 / wide));
    return font;
}

// The product name's font: the engraved display face where it is installed,
// otherwise an italic serif, narrowed to the label as the original is narrow.
QFont TitleFont(int pixels, int labelWidth) {
    QFont font(QString::fromLatin1(kTitleFamily));
    font.setPixelSize(pixels);
    if (QFontInfo(font).family() == QLatin1String(kTitleFamily)) return font;
    font = QFont(QStringLiteral("DejaVu Serif"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(pixels);
    font.setItalic(true);
    return Fitted(font, QString::fromLatin1(kProductName), labelWidth);
}

} // namespace

QIcon ProgramIconPicture() {
    return QIcon(QStringLiteral(":/quarl.xpm"));
}

TAboutBox::TAboutBox(int intervalMs, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);

    const QScreen* screen = this->screen();
    const double factor =
        (screen != nullptr ? screen->logicalDotsPerInchY() : kDesignDpi) / kDesignDpi;
    const auto s = [factor](int v) { return static_cast<int>(std::lround(v * factor)); };
    const auto place = [&s](QWidget* w, int l, int t, int width, int height) {
        w->setGeometry(s(l), s(t), s(width), s(height));
    };

    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(8, s(11)));
    setFont(f);
    setFixedSize(s(367), s(166));

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outside, raised inside
    place(Panel1, 10, 10, 346, 139);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(ProgramIconPicture().pixmap(32, 32));
    ProgramIcon->setScaledContents(true);
    place(ProgramIcon, 14, 10, 35, 35);

    ProductName = new QLabel(QString::fromLatin1(kProductName), Panel1);
    place(ProductName, 56, 8, 241, 45);
    ProductName->setAlignment(Qt::AlignCenter);
    ProductName->setFont(TitleFont(s(kTitlePixels), ProductName->width()));

    Copyright = new QLabel(QStringLiteral("Copyright \u00A9 2026 %1").arg(kMakerName), Panel1);
    place(Copyright, 86, 94, 175, 16);
    // Sized to its text, as a label is: the stand-in font runs wider.
    Copyright->resize(std::max(Copyright->width(), Copyright->sizeHint().width()),
                      Copyright->height());

    Comments = new QLabel(QStringLiteral("%1   %2").arg(kMakerAddress, kMakerMail), Panel1);
    place(Comments, 6, 116, 331, 20);
    Comments->setWordWrap(true);
    Comments->setFont(Fitted(font(), Comments->text(), Comments->width()));
    Comments->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Timer1 = new QTimer(this);
    Timer1->setInterval(intervalMs);
    connect(Timer1, &QTimer::timeout, this, &TAboutBox::Timer1Timer);
    Timer1->start();
}

void TAboutBox::Timer1Timer() {
    done(QDialog::Accepted);
}

void TAboutBox::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, whatever the window manager would choose.
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->geometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
