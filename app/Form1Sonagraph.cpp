// The sonagraph view: one grey row per refresh, written straight into the
// display picture's pixel memory.
#include "analysis/Sonagraph.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "display/ImageView.h"
#include "display/Picture.h"

#include <QImage>
#include <algorithm>

void TForm1::DrawSonagraph(const DisplayPoint* points, int high, int lastColumn) {
    QImage& picture = SpecDisplay->picture();
    if (picture.format() != QImage::Format_RGB32) return; // the rows are 32-bit pixels
    // The dialog's mode is read at every row, so a switch takes effect at
    // the next one, without clearing.
    const bool flow = Form2->FlowButton->Checked();
    const bool sweep = Form2->SweepButton->Checked();
    // The row that Sweep writes (a row beyond the picture restarts at the top).
    const int row = SweepRow < picture.height() ? SweepRow : 0;
    auto* pixels = reinterpret_cast<std::uint32_t*>(picture.bits());
    ::DrawSonagraph(pixels, picture.width(), picture.height(),
                    static_cast<int>(picture.bytesPerLine() / sizeof(std::uint32_t)), points, high,
                    lastColumn, flow, sweep, SweepRow);
    // Flow moves the picture down two rows except its last column, and the
    // screen follows by moving what it shows. Sweep writes one row straight
    // into the pixels, which does not tell the image to repaint: that row
    // alone is shown anew.
    const int moved = std::min(lastColumn, picture.width() - 1);
    if (flow)
        SpecDisplay->pictureScrolled(QRect(0, 0, std::max(moved, 0), picture.height()), 2);
    else if (sweep)
        SpecDisplay->pictureChanged(QRect(0, row, picture.width(), 1));
}

void TForm1::ClearSonaDisplay(ImageView* image) {
    ClearPicture(image->picture());
    image->pictureChanged();
}
