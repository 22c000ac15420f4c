#include "display/CursorReadout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

// Like the frequency scale, the read-out works in x87 extended precision
// (long double) and keeps doubles where a value is stored as one; the texts
// must match the 80-bit arithmetic digit for digit.

namespace {

constexpr int kMaxPrecision = 18; // significant digits an 80-bit value can carry

// Trunc toward zero into int64, saturating, NaN giving 0 (the plain cast is
// undefined out of range).
int64_t TruncSaturating(long double v) {
    if (std::isnan(v)) return 0;
    constexpr long double kLimit = 0x1p63L;
    if (v >= kLimit) return std::numeric_limits<int64_t>::max();
    if (v <= -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

// Decimal digits of a positive finite value: `digits` holds the leading
// significant digits, `exponent` the power of ten of the first one.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal ParseScientific(const char* text) {
    // text is "d.ddd…e±xx" as printf's %e writes it
    Decimal d;
    const char* p = text;
    for (; *p != 'e'; ++p)
        if (*p != '.') d.digits.push_back(*p);
    d.exponent = std::atoi(p + 1);
    return d;
}

// All digits of `value` (positive, finite), exactly: printf's %e prints the
// exact binary value when asked for enough digits. An 80-bit value with
// binary exponent e has its lowest bit at 2^(e − 64), so 64 − e decimal
// places after the point hold everything.
Decimal ExactDigits(long double value, int decimalExponent) {
    int binaryExponent = 0;
    std::frexp(value, &binaryExponent);
    const int places = std::max(40, decimalExponent + 64 - binaryExponent + 2);
    std::string text(static_cast<size_t>(places) + 32, '\0');
    std::snprintf(text.data(), text.size(), "%.*Le", places, value);
    return ParseScientific(text.c_str());
}

// `value` (positive, finite) rounded to `precision` significant digits, a
// half going away from zero. The half is decided on the exact value: 40
// correctly rounded digits settle it unless they read exactly "5000…" from
// the cut on, in which case all digits are printed.
Decimal RoundSignificant(long double value, int precision) {
    char text[80];
    std::snprintf(text, sizeof text, "%.39Le", value);
    Decimal d = ParseScientific(text);
    const bool looksLikeHalf =
        d.digits[precision] == '5' &&
        d.digits.find_first_not_of('0', static_cast<size_t>(precision) + 1) == std::string::npos;
    if (looksLikeHalf) d = ExactDigits(value, d.exponent);

    const bool up = d.digits[precision] >= '5';
    d.digits.resize(static_cast<size_t>(precision));
    if (up) {
        int i = precision - 1;
        while (i >= 0 && d.digits[i] == '9')
            d.digits[i--] = '0';
        if (i >= 0) {
            ++d.digits[i];
        } else { // 9.99… became 10.0…
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            ++d.exponent;
        }
    }
    const size_t last = d.digits.find_last_not_of('0');
    d.digits.resize(last == std::string::npos ? 1 : last + 1);
    return d;
}

std::string FormatGeneralExtended(long double value, int precision, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    precision = std::clamp(precision, 1, kMaxPrecision);

    const Decimal d = RoundSignificant(std::fabs(value), precision);
    const std::string& digits = d.digits;
    const int e = d.exponent;
    std::string text = std::signbit(value) ? "-" : "";

    if (e + 1 <= precision && e >= -4) { // fixed: 0.0001 ≤ rounded value, few enough integer digits
        if (e >= 0) {
            const size_t intLen = static_cast<size_t>(e) + 1;
            text += digits.substr(0, intLen);
            if (digits.size() < intLen) text.append(intLen - digits.size(), '0');
            if (digits.size() > intLen) text += decimalSeparator + digits.substr(intLen);
        } else {
            text += '0';
            text += decimalSeparator;
            text.append(static_cast<size_t>(-e - 1), '0');
            text += digits;
        }
        return text;
    }
    text += digits[0];
    if (digits.size() > 1) text += decimalSeparator + digits.substr(1);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
    return text + exponent;
}

} // namespace

double ColumnToFrequency(int column, double zoomRatio, double binWidth) {
    if (!(zoomRatio > 0)) return 0.0;
    return static_cast<double>(static_cast<long double>(column) / zoomRatio * binWidth);
}

int ValidateCursorPos(int pos, int width, bool& draggingMark, bool& draggingSpace) {
    if (pos > width) {
        pos = 0;
        draggingMark = false;
        draggingSpace = false;
    }
    if (pos < 0) pos = width;
    return pos;
}

int ClampDragPosition(int x, int width) {
    if (x > width) return width;
    if (x < 0) return 0;
    return x;
}

std::string FormatGeneral(double value, int precision, char decimalSeparator) {
    return FormatGeneralExtended(value, precision, decimalSeparator);
}

std::optional<CursorTexts> FrequencyReadout(uint16_t markPos, uint16_t spacePos, double zoomRatio,
                                            double binWidth) {
    if (!(zoomRatio > 0) || !std::isfinite(zoomRatio)) return std::nullopt;
    const double markFreq = ColumnToFrequency(markPos, zoomRatio, binWidth);
    const double spaceFreq = ColumnToFrequency(spacePos, zoomRatio, binWidth);
    CursorTexts texts;
    texts.caption = "Shift";
    texts.mark = std::to_string(TruncSaturating(markFreq));
    texts.space = std::to_string(TruncSaturating(spaceFreq));
    // The distance of the unrounded frequencies, not of the two texts.
    texts.shift =
        std::to_string(TruncSaturating(std::fabs(static_cast<long double>(markFreq) - spaceFreq)));
    return texts;
}

CursorTexts TimeReadout(uint16_t markPos, uint16_t spacePos, uint16_t nyquist, bool triggered,
                        char decimalSeparator) {
    CursorTexts texts;
    texts.caption = "Freq ";
    if (nyquist == 0) {
        texts.mark = texts.space = texts.shift = "0";
        return texts;
    }
    // One sample per column, or two columns per sample when triggered; the
    // product is an integer (at most 65535 × 500), the quotient a double.
    const int msPerSampleTimesNyquist = triggered ? 250 : 500;
    const auto timeAt = [&](uint16_t pos) {
        return static_cast<double>(static_cast<long double>(pos * msPerSampleTimesNyquist) /
                                   nyquist);
    };
    const double markTime = timeAt(markPos);
    const double spaceTime = timeAt(spacePos);
    texts.mark = FormatGeneral(markTime, 4, decimalSeparator);
    texts.space = FormatGeneral(spaceTime, 4, decimalSeparator);
    const long double period = static_cast<long double>(markTime) - spaceTime;
    texts.shift =
        period != 0 ? FormatGeneralExtended(std::fabs(1000.0L / period), 6, decimalSeparator) : "0";
    return texts;
}

AnnotationTexts SnapshotAnnotation(uint16_t sampleRate, uint16_t markPos, uint16_t spacePos,
                                   double zoomRatio, double binWidth) {
    // Cut from the stored double, not from the extended quotient: the two
    // differ by a hertz where the extended value lies just below a whole
    // number that the double reaches (column 256 at 8000/s and 2002 Hz).
    const auto whole = [&](uint16_t column) {
        return std::to_string(TruncSaturating(ColumnToFrequency(column, zoomRatio, binWidth)));
    };
    return {"Rate  : " + std::to_string(sampleRate), "Cursor: " + whole(markPos),
            "Cursor: " + whole(spacePos)};
}
