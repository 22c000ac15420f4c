// The sonagraph view: one grey row per refresh, written straight into the
// display picture's pixel memory.
#include "analysis/Sonagraph.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "display/ImageView.h"
#include "display/Picture.h"

#include <QImage>

void TForm1::DrawSonagraph(const DisplayPoint* points, int high, int lastColumn) {
    QImage& picture = SpecDisplay->picture();
    if (picture.format() != QImage::Format_RGB32) return; // the rows are 32-bit pixels
    // The dialog's mode is read at every row, so a switch takes effect at
    // the next one, without clearing.
    auto* pixels = reinterpret_cast<std::uint32_t*>(picture.bits());
    ::DrawSonagraph(pixels, picture.width(), picture.height(),
                    static_cast<int>(picture.bytesPerLine() / sizeof(std::uint32_t)), points, high,
                    lastColumn, Form2->FlowButton->Checked(), Form2->SweepButton->Checked(),
                    SweepRow);
    // A direct pixel write does not tell the image to repaint.
    SpecDisplay->update();
}

void TForm1::ClearSonaDisplay(ImageView* image) {
    ClearPicture(image->picture());
    image->update();
}
