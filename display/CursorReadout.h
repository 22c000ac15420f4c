#pragma once

// Arithmetic of the two cursors and the read-out row below the display:
// column to frequency, position checks, and the texts of the read-out panels.
// No widgets: the main window moves the results into its labels.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Frequency in Hz of display column `column`: column / zoomRatio × binWidth,
// divided first, then multiplied, in extended precision, kept as a double.
// Meaningful while zoomRatio > 0; 0 when it is not (no valid scale).
double ColumnToFrequency(int column, double zoomRatio, double binWidth);

// A stored cursor column checked against the display width (columns
// 0 … width): beyond width it becomes 0 and ends any drag (both flags
// cleared); below 0 it becomes width, so stepping left from 0 wraps round.
int ValidateCursorPos(int pos, int width, bool& draggingMark, bool& draggingSpace);

// A mouse column held inside 0 … width while a cursor is dragged.
int ClampDragPosition(int x, int width);

// A number in the general format of the read-out: rounded to at most
// `precision` significant digits (1 … 18; other values are held to that
// range), a half rounded away from zero as decided on the exact value of
// `value` (12.625 gives "12.63" at 4 digits, 0.1 + 0.2 gives "0.3"),
// trailing zeros and a bare decimal point removed. Fixed notation when the
// rounded value has at most `precision` digits before the decimal point and is
// at least 0.0001 in size, or is zero; otherwise scientific, "1.235E+05",
// with a sign and at least two exponent digits. `decimalSeparator` (UTF-8,
// Arabic's is not one byte) replaces the point. "NAN", "INF", "-INF" for
// values that are not finite. The C library's locale plays no part.
std::string FormatGeneral(double value, int precision, std::string_view decimalSeparator);

// Texts of the read-out row.
struct CursorTexts {
    std::string caption; // the label before the middle panel: "Shift" or "Freq "
    std::string mark;    // value at the mark cursor
    std::string space;   // value at the space cursor
    std::string shift;   // middle panel: frequency difference, or the frequency of the period
};

// Spectrum and sonagraph views: the frequency under each cursor in whole Hz
// (cut toward zero) and the cut distance between the two unrounded
// frequencies. std::nullopt when zoomRatio is not positive or not finite: the
// read-out then keeps what it showed.
std::optional<CursorTexts> FrequencyReadout(uint16_t markPos, uint16_t spacePos, double zoomRatio,
                                            double binWidth);

// Waveform view: the time under each cursor in ms, at most 4 significant
// digits, one sample per column (500/Nyquist ms), or two columns per sample
// when the waveform is triggered (250/Nyquist ms); and the frequency in Hz
// whose period is the distance between the cursors, at most 6 significant
// digits, "0" when the cursors stand on the same time. With nyquist 0 (no
// valid scale) every text is "0".
CursorTexts TimeReadout(uint16_t markPos, uint16_t spacePos, uint16_t nyquist, bool triggered,
                        std::string_view decimalSeparator);

// The three lines written onto a saved snapshot: "Rate  : " with the sample
// rate, then "Cursor: " with the mark and the space cursor's frequency in
// whole Hz. The frequencies are the read-out's (column to frequency kept as a
// double, then cut toward zero), in every view, so that a picture never
// contradicts what the read-out showed; 0 without a valid scale.
struct AnnotationTexts {
    std::string rate;
    std::string mark;
    std::string space;
};
AnnotationTexts SnapshotAnnotation(uint16_t sampleRate, uint16_t markPos, uint16_t spacePos,
                                   double zoomRatio, double binWidth);
