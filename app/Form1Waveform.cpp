// The waveform view: a block's samples as points, and their trace.
#include "analysis/Waveform.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "display/ImageView.h"
#include "display/Picture.h"

void TForm1::SineToPoints(const std::int16_t* block) {
    // The trigger box is read afresh for every block.
    ::SineToPoints(block, SpecDisplay->height(), WaveGainValue, Form2->cbTrigger->Checked(),
                   WavePoints.data());
}

void TForm1::DisplaySinewave() {
    ClearDisplay(SpecDisplay);
    // Entry 0 is never drawn: untriggered it is stale, triggered it is the
    // trigger sample itself at column 0.
    DrawSpectrumTrace(SpecDisplay->picture(), WavePoints.data(), 1, kWaveBlockSize - 1);
    SpecDisplay->pictureChanged();
}
