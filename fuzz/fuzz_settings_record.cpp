// The settings file from anywhere: any bytes, any length, read through the
// program's own reader, then every number the start-up derives from the
// record pushed through the arithmetic the window uses for it (scale, points,
// averaging, read-outs) at every display height the window allows. Built with
// AddressSanitizer and UndefinedBehaviorSanitizer: an overflow, an
// out-of-range conversion or a read past an array stops the run.
#include "analysis/Spectrum.h"
#include "app/SettingsRecord.h"
#include "display/CursorReadout.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string FilePath() {
    // In memory where the system offers it: the file is rewritten for every input.
    static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static const std::string path = folder + "/quarl-fuzz-settings-" + std::to_string(::getpid());
    static const struct Remove {
        ~Remove() { ::unlink(path.c_str()); }
    } remove;
    return path;
}

// What the window would draw and show for one view's rate and bandwidth.
void Exercise(const SettingsRecord& r, uint16_t rate, uint16_t bandwidth, int height) {
    const FrequencyScale scale = ComputeScale(rate, bandwidth);
    (void)MaxAudioFreqText(scale, true);
    (void)MaxAudioFreqText(scale, false);
    (void)FrequencyReadout(r.MarkPos, r.SpacePos, scale.ZoomRatio, scale.BinWidth);
    (void)TimeReadout(r.MarkPos, r.SpacePos, scale.Nyquist, r.TriggerChecked, ".");

    // A full-scale spectrum and an empty one, averaged with the stored count.
    static std::array<int32_t, kSpectrumSize> fft, accumulator, averaged;
    static std::array<DisplayPoint, kSpectrumSize> points;
    for (int loud = 0; loud < 2; ++loud) {
        for (int k = 0; k < kSpectrumSize; ++k)
            fft[k] = loud ? 0x7FFFFFFF - k : 0;
        accumulator.fill(loud ? 0x7FFFFFFF : 0);
        AverageBuffers(fft.data(), accumulator.data(), averaged.data(), r.AvgCount);
        SpecToPoints(averaged.data(), height, r.SpecGainValue, scale.Nyquist, scale.Bandwidth,
                     points.data());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (FILE* f = std::fopen(FilePath().c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    SettingsRecord r;
    if (ReadSettingsFile(FilePath(), r) != 0) return 0; // the defaults apply: nothing from the file
    const auto bandwidth = static_cast<uint16_t>(r.BandwidthPos & 0xFFFF);
    // The display's height follows the stored window height within the
    // window's limits; the smallest and the largest cover the rest.
    for (int height : {2, 93, 493}) {
        Exercise(r, r.SpecSampleRate, r.SpecBandwidth, height);
        Exercise(r, r.SonaSampleRate, r.SonaBandwidth, height);
        Exercise(r, r.WaveSampleRate, static_cast<uint16_t>(r.WaveSampleRate / 2), height);
        Exercise(r, r.SpecSampleRate, bandwidth, height);
    }
    return 0;
}
