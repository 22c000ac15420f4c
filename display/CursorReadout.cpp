#include "display/CursorReadout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

// Like the frequency scale, the read-out works in x87 extended precision
// (long double) and keeps doubles where a value is stored as one; the texts
// must match the 80-bit arithmetic digit for digit.
//
// No text here goes through the C library's locale: Qt sets it from the
// user's at start-up, and under de_DE printf writes "3,125e+00". std::to_chars
// always writes a point (libstdc++ prints long doubles under the C locale
// of its own); the separator the read-out shows is put in by hand.

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

// `value` in scientific notation with `places` digits after the point,
// "d.ddd…e±xx", split into its digits and exponent.
Decimal ScientificDigits(long double value, int places) {
    // digit, point, places, "e", sign, up to 4 exponent digits, and room to spare
    std::string text(static_cast<size_t>(places) + 16, '\0');
    const auto written = std::to_chars(text.data(), text.data() + text.size(), value,
                                       std::chars_format::scientific, places);
    text.resize(static_cast<size_t>(written.ptr - text.data()));
    const size_t e = text.find('e');
    Decimal d;
    d.digits = text.substr(0, 1) + text.substr(2, e - 2);
    // from_chars takes a minus but no plus sign
    const char* exponent = text.data() + e + 1 + (text[e + 1] == '+');
    std::from_chars(exponent, text.data() + text.size(), d.exponent);
    return d;
}

// All digits of `value` (positive, finite), exactly: to_chars prints the
// exact binary value when asked for enough digits. An 80-bit value with
// binary exponent e has its lowest bit at 2^(e − 64), so 64 − e decimal
// places after the point hold everything.
Decimal ExactDigits(long double value, int decimalExponent) {
    int binaryExponent = 0;
    std::frexp(value, &binaryExponent);
    return ScientificDigits(value, std::max(40, decimalExponent + 64 - binaryExponent + 2));
}

// `value` (positive, finite) rounded to `precision` significant digits, a
// half going away from zero. The half is decided on the exact value: 40
// correctly rounded digits settle it unless they read exactly "5000…" from
// the cut on, in which case all digits are printed.
Decimal RoundSignificant(long double value, int precision) {
    Decimal d = ScientificDigits(value, 39);
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

// At least two digits, as the exponent of "1.235E+05" has.
std::string TwoOrMoreDigits(int n) {
    char text[16];
    const auto written = std::to_chars(text, text + sizeof text, n);
    std::string digits(text, written.ptr);
    return digits.size() < 2 ? "0" + digits : digits;
}

std::string FormatGeneralExtended(long double value, int precision,
                                  std::string_view decimalSeparator) {
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
            if (digits.size() > intLen) (text += decimalSeparator) += digits.substr(intLen);
        } else {
            text += '0';
            text += decimalSeparator;
            text.append(static_cast<size_t>(-e - 1), '0');
            text += digits;
        }
        return text;
    }
    text += digits[0];
    if (digits.size() > 1) (text += decimalSeparator) += digits.substr(1);
    return text + (e < 0 ? "E-" : "E+") + TwoOrMoreDigits(std::abs(e));
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

std::string FormatGeneral(double value, int precision, std::string_view decimalSeparator) {
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
                        std::string_view decimalSeparator) {
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
