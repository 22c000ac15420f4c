#pragma once

// Drawing into the display picture: a 32-bit image (QImage::Format_RGB32, as
// large as the display area) that every view draws into. QtGui only.

#include "analysis/Spectrum.h"
#include "display/CursorReadout.h"

class QImage;

// Fills the whole picture white.
void ClearPicture(QImage& picture);

// Fills the rectangle (0, 0)–(width, height) of the picture white, as far as
// it lies inside the picture. Returns whether any pixel changed: a strip that
// is cleared on every refresh but holds nothing then needs no repaint.
bool ClearPictureArea(QImage& picture, int width, int height);

// The spectrum trace: a blue (0, 0, 255) polyline, 1 pixel wide, not
// antialiased, through points[first] … points[last] in order (the program
// draws entries 1 … 511). As a Windows GDI polyline: each segment is drawn
// from its start up to but not including its end, so points[last] itself is
// not drawn. Points may lie anywhere; what falls outside the picture is
// clipped.
void DrawSpectrumTrace(QImage& picture, const DisplayPoint* points, int first, int last);

// The two cursors as vertical lines over rows 0 … height − 1: the mark cursor
// green (0, 128, 0) at column markPos, then the space cursor red (255, 0, 0)
// at spacePos, over the mark where they meet. A column outside the picture
// draws nothing.
void DrawCursorLines(QImage& picture, int markPos, int spacePos);

// The snapshot's annotation, written onto the picture before it is saved:
// three lines from x = width − 80, at y = 5 (the rate, black), 25 (the mark
// cursor, green 0, 128, 0) and 45 (the space cursor, red 255, 0, 0), each on
// an opaque white box as tall as the font's character cell and as wide as
// its text. The font is "MS Sans Serif" 8 points; where that family is
// missing the system's sans serif stands in. Glyphs are not antialiased, so
// every text pixel has its line's exact colour.
void DrawAnnotation(QImage& picture, const AnnotationTexts& texts);
