// The cursors: drawing, mouse and arrow handling, the read-out row and the
// resize that keeps the pictures and the scale in step with the window.
#include "app/Form1.h"
#include "app/Form2.h"
#include "display/CursorReadout.h"
#include "display/ImageView.h"
#include "display/Picture.h"
#include "display/UpDown.h"

#include <QLabel>
#include <QLocale>
#include <QToolButton>
#include <string>

namespace {

// The user's locale's separator, as UTF-8: Arabic and Persian use U+066B,
// which has no single byte.
std::string decimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? std::string(".") : point.toStdString();
}

} // namespace

void TForm1::DrawCursor(ImageView* image) {
    DrawCursorLines(image->picture(), MarkPos, SpacePos);
    image->pictureChanged();
}

int TForm1::ValidateCursorPos(int pos) {
    return ::ValidateCursorPos(pos, SpecDisplay->width(), DraggingMark, DraggingSpace);
}

void TForm1::DisplayCursorValue() {
    if (Specbutton->isChecked() || SonaButton->isChecked()) {
        const auto texts = FrequencyReadout(MarkPos, SpacePos, ZoomRatio, BinWidth);
        if (!texts) return;
        Label10->setText(QString::fromStdString(texts->caption));
        MarkLabel->setText(QString::fromStdString(texts->mark));
        SpaceLabel->setText(QString::fromStdString(texts->space));
        Panel5->setText(QString::fromStdString(texts->shift));
    } else if (WaveButton->isChecked()) {
        const CursorTexts texts = TimeReadout(MarkPos, SpacePos, Nyquist,
                                              Form2->cbTrigger->Checked(), decimalSeparator());
        Label10->setText(QString::fromStdString(texts.caption));
        MarkLabel->setText(QString::fromStdString(texts.mark));
        SpaceLabel->setText(QString::fromStdString(texts.space));
        Panel5->setText(QString::fromStdString(texts.shift));
    }
}

void TForm1::dMouseDown(Qt::MouseButton button, int x, int y) {
    DraggingMark = button == Qt::LeftButton;
    DraggingSpace = button == Qt::RightButton;
    MarkPos = static_cast<std::uint16_t>(ValidateCursorPos(MarkPos));
    SpacePos = static_cast<std::uint16_t>(ValidateCursorPos(SpacePos));
    DisplayPanelMouseMove(x, y);
}

void TForm1::DisplayPanelMouseMove(int x, int) {
    if (!DraggingMark && !DraggingSpace) return;
    const int width = SpecDisplay->width();
    if (DraggingMark) MarkPos = static_cast<std::uint16_t>(ClampDragPosition(x, width));
    if (DraggingSpace) SpacePos = static_cast<std::uint16_t>(ClampDragPosition(x, width));
    DisplayCursorValue();
    RedrawFrozenCursors();
}

void TForm1::RedrawFrozenCursors() {
    if (!Onbutton->isChecked()) return; // the next refresh draws them
    // The sonagraph's picture is its memory: only the strip is redrawn.
    if (Specbutton->isChecked()) {
        DisplaySpectrum(SpecDisplay);
        DrawCursor(SpecDisplay);
    } else if (WaveButton->isChecked()) {
        DisplaySinewave();
        DrawCursor(SpecDisplay);
    }
    ClearDisplay(CursorDisplay);
    DrawCursor(CursorDisplay);
}

void TForm1::dMouseUp(Qt::MouseButton button, int, int) {
    if (button == Qt::LeftButton || button == Qt::RightButton) {
        DraggingMark = false;
        DraggingSpace = false;
    }
}

void TForm1::MarkUpDownClick(UpDown* sender, UpDownButton button) {
    const int step = button == UpDownButton::Next ? 1 : -1;
    int mark = MarkPos;
    int space = SpacePos;
    if (sender == MarkUpDown)
        mark += step;
    else if (sender == SpaceUpDown)
        space += step;
    MarkPos = static_cast<std::uint16_t>(ValidateCursorPos(mark));
    SpacePos = static_cast<std::uint16_t>(ValidateCursorPos(space));
    DisplayCursorValue();
    RedrawFrozenCursors();
}

void TForm1::FormResize() {
    Busy = true;
    if (SpecDisplay != nullptr) {
        SpecDisplay->setPictureSize(SpecDisplay->width(), SpecDisplay->height());
        // The strip's picture is as tall as the display; only its top rows show.
        CursorDisplay->setPictureSize(SpecDisplay->width(), SpecDisplay->height());
    }
    if (Form2 != nullptr) {
        GetValues();
        DisplayCursorValue();
    }
    SweepRow = 1;
    Busy = false;
}
