// Texts for the wave-input result codes, as the device error box shows them.
#pragma once

#include <cstdint>
#include <string_view>

// `code` is a result as the device returned it; only its low 16 bits count.
// Never empty: unknown codes get a general text.
std::string_view MMErrorText(std::uint32_t code);

// The text for any result the wave-input layer reports: the codes of our own
// above the platform's 16 bits (see capture/WaveIn.h), then MMErrorText.
std::string_view DeviceErrorText(std::uint32_t code);
