// The small pictures of the button bar, drawn at start-up.
#pragma once

#include <QIcon>

enum class ButtonPicture { Spectrum, Waveform, Sonagraph, Fsk, Cw, Settings, Save, Open, Freeze };

QIcon MakeButtonIcon(ButtonPicture which);
