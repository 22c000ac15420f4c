// The read-out's general number format against a plain reference: the exact
// decimal expansion of the value (std::to_chars prints every digit of a
// binary number when asked for enough of them), rounded as a string, half
// away from zero, and laid out in fixed or scientific notation. The formatter
// takes a shortcut through 40 rounded digits; the reference never does, so
// any difference is a fault of one of them and stops the run.
//
// The run sets the C library's locale to German, as Qt does for a German
// user: neither the formatter nor the reference may write a comma for it.
#include "display/CursorReadout.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Every significant digit of |value| (finite, not zero) and the decimal
// exponent of the first one. A double needs at most 767 significant digits;
// 1100 places cover every exponent.
void ExactDigits(double value, std::string& digits, int& exponent) {
    static char text[1200];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value),
                                       std::chars_format::scientific, 1100);
    const std::string_view all(text, static_cast<size_t>(written.ptr - text));
    const size_t e = all.find('e');
    digits.assign(all.substr(0, 1));
    digits.append(all.substr(2, e - 2));
    const std::string_view sign = all.substr(e + 1, 1), magnitude = all.substr(e + 2);
    std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), exponent);
    if (sign == "-") exponent = -exponent;
    digits.erase(digits.find_last_not_of('0') + 1);
}

std::string Reference(double value, int precision, std::string_view separator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    precision = std::clamp(precision, 1, 18);
    std::string digits;
    int exponent = 0;
    ExactDigits(value, digits, exponent);
    if (static_cast<int>(digits.size()) > precision) {
        const bool up = digits[precision] >= '5'; // a half or more goes away from zero
        digits.resize(precision);
        if (up) {
            int i = precision - 1;
            for (; i >= 0 && digits[i] == '9'; --i)
                digits[i] = '0';
            if (i < 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[i];
            }
        }
    }
    const auto last = digits.find_last_not_of('0');
    digits.erase(last == std::string::npos ? 1 : last + 1);

    std::string text = std::signbit(value) ? "-" : "";
    if (exponent >= -4 && exponent < precision) {
        // Fixed: place the point by padding the digits with zeros.
        std::string all = exponent < 0 ? std::string(-exponent, '0') + digits : digits;
        const int pointAt = exponent < 0 ? 1 : exponent + 1;
        if (static_cast<int>(all.size()) < pointAt) all.append(pointAt - all.size(), '0');
        text += all.substr(0, pointAt);
        if (static_cast<int>(all.size()) > pointAt) (text += separator) += all.substr(pointAt);
        return text;
    }
    text += digits[0];
    if (digits.size() > 1) (text += separator) += digits.substr(1);
    const std::string magnitude = std::to_string(std::abs(exponent));
    return text + (exponent < 0 ? "E-" : "E+") + (magnitude.size() < 2 ? "0" : "") + magnitude;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        std::fprintf(stderr, "the locale de_DE.UTF-8 is missing (scripts/setup.sh makes it)\n");
        if (std::getenv("CI")) std::abort();
    }
    return 0;
}

// Input: 8 bytes of a double, one byte of precision (read-out uses 4 and 6;
// any value is held to 1 … 18), one byte choosing the separator: a point, a
// comma or Arabic's two-byte one.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr std::string_view kSeparators[] = {".", ",", "\u066B"};
    if (size < sizeof(double)) return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    const int precision = size > 8 ? static_cast<int8_t>(data[8]) : 4;
    const std::string_view separator = kSeparators[size > 9 ? data[9] % 3 : 0];
    const std::string got = FormatGeneral(value, precision, separator);
    const std::string want = Reference(value, precision, separator);
    if (got != want) {
        char shortest[32];
        *std::to_chars(shortest, shortest + sizeof shortest - 1, value).ptr = '\0';
        std::fprintf(stderr, "FormatGeneral(%s, %d): got \"%s\", want \"%s\"\n", shortest,
                     precision, got.c_str(), want.c_str());
        std::abort();
    }
    return 0;
}
