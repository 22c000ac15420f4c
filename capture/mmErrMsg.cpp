#include "capture/mmErrMsg.h"

#include "capture/WaveIn.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// The texts are the program's own, spelling included: operators compare them
// with what they have seen before.
constexpr std::array<std::pair<std::uint16_t, std::string_view>, 36> kTexts{{
    // general
    {1, "Wave Device Error"},
    {2, "Wave Device ID out of range"},
    {3, "Wave Driver failed to enable"},
    {4, "Wave Device already allocated"},
    {5, "Wave Device handle is invalid"},
    {6, "No Wave Device driver present"},
    {7, "Memory allocation error - Wave Device"},
    {8, "Function isn't supported"},
    {9, "Error value out of range"},
    {10, "Invalid flag passed to Wave Device"},
    {11, "Invalid parameter passed to Wave Device"},
    // wave
    {32, "Format Not supported by Wave Device"},
    {33, "Still playing"},
    {34, "Wave Header not prepared"},
    {35, "Device is synchronous"},
    // the MIDI range, with wave texts
    {64, "Wave Header not prepared"},
    {65, "Still playing"},
    {66, "No current map for Device"},
    {67, "Hardware is still busy"},
    {68, "Wave Port no longer connected"},
    {69, "Wave Device - invalid setup"},
    // timer
    {97, "Timer request not completed"},
    {129, "Invalid Time struct size"},
    // joystick
    {165, "Joystick - bad parameters"},
    {166, "Joystick request not completed"},
    {167, "Joystick is unplugged"},
    // multimedia file
    {257, "Wave File not found or file error"},
    {258, "Out of memory"},
    {259, "Cannot open Device"},
    {260, "Cannot close Device"},
    {261, "Cannot read"},
    {262, "Cannot write"},
    {263, "Cannot seek"},
    {264, "Cannot expand file"},
    {265, "Data Chunk not found"},
    {266, "Media File is unbuffered"},
}};

} // namespace

std::string_view DeviceErrorText(std::uint32_t code) {
    static_assert(wavein::kNotAnsweringLimitMs == 5000, "the text names the limit");
    if (code == wavein::ERR_NOT_ANSWERING) return "Wave Device did not answer within 5 seconds";
    return MMErrorText(code);
}

std::string_view MMErrorText(std::uint32_t code) {
    const auto low = static_cast<std::uint16_t>(code & 0xFFFFu);
    const auto it = std::find_if(kTexts.begin(), kTexts.end(),
                                 [low](const auto& entry) { return entry.first == low; });
    return it != kTexts.end() ? it->second : "An unknown error has occured!";
}
