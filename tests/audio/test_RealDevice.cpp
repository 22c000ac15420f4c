// The real sound input on a private PulseAudio that plays a 1000 Hz tone:
// blocks of 512 samples, in order, at the pace of the rate, carrying the tone.
#include "analysis/Fourier.h"
#include "capture/PulseWaveIn.h"
#include "capture/WaveDev.h"
#include "support/RealProgram.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace wavein;

namespace {

constexpr double kToneHz = 1000.0;

// Collects the notifications of one recording and keeps the ring going.
struct Recorder : WaveInSink {
    WaveDev* wave = nullptr;
    WaveInDevice* device = nullptr;
    bool opened = false;
    bool closed = false;
    MMResult failure = 0;
    std::uint64_t lost = 0;
    std::vector<int> order;       // ring index of every filled buffer
    std::vector<qint64> arrivals; // ns since the first block
    std::vector<int> peakBins;
    QElapsedTimer clock;
    bool requeue = true;

    void waveInOpened(Handle) override { opened = true; }
    void waveInData(Handle h, WaveHeader* header) override {
        if (arrivals.empty()) clock.start();
        arrivals.push_back(clock.nsecsElapsed());
        const auto it = std::find(wave->WaveHeaders.begin(), wave->WaveHeaders.end(), header);
        order.push_back(static_cast<int>(it - wave->WaveHeaders.begin()));
        if (header->dwBytesRecorded == WaveDev::kBufferBytes) {
            std::array<std::int32_t, 512> magnitudes{};
            FFT(512, 512, reinterpret_cast<const std::int16_t*>(header->lpData), magnitudes.data());
            peakBins.push_back(static_cast<int>(
                std::max_element(magnitudes.begin() + 1, magnitudes.begin() + 256) -
                magnitudes.begin()));
        }
        if (requeue) device->addBuffer(h, header);
    }
    void waveInClosed(Handle) override { closed = true; }
    void waveInFailed(Handle, MMResult code) override { failure = code; }
    void waveInLost(Handle, std::uint32_t blocks) override { lost += blocks; }
};

} // namespace

class RealDevice : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override {
        if (!SoundServerAnswers()) {
            if (qEnvironmentVariableIsSet("CI"))
                FAIL() << "no sound server: scripts/test.sh starts a private sound server";
            GTEST_SKIP() << "no sound server reachable (start scripts/pulse.sh first)";
        }
    }
};

TEST_P(RealDevice, DeliversWholeBlocksInOrderAtThePaceOfTheRateCarryingTheTone) {
    const std::uint32_t rate = GetParam();
    PulseWaveIn device;
    WaveDev wave(device);
    wave.InitWaveBuffers();
    Recorder rec;
    rec.wave = &wave;
    rec.device = &device;

    ASSERT_EQ(wave.OpenWaveIn(&rec, wave.WaveInHandle, rate), 0u);
    ASSERT_TRUE(waitFor([&] { return rec.opened; }, 2000));
    for (WaveHeader* h : wave.WaveHeaders)
        ASSERT_EQ(device.prepareHeader(wave.WaveInHandle, h), 0u);
    for (WaveHeader* h : wave.WaveHeaders)
        ASSERT_EQ(device.addBuffer(wave.WaveInHandle, h), 0u);
    ASSERT_EQ(device.start(wave.WaveInHandle), 0u);

    // Let the stream settle, then measure over about three seconds.
    const double period = 512.0 / rate;
    const int settle = static_cast<int>(1.0 / period);
    const int measured = static_cast<int>(3.0 / period);
    ASSERT_TRUE(
        waitFor([&] { return rec.arrivals.size() >= std::size_t(settle + measured + 1); }, 10000))
        << "only " << rec.arrivals.size() << " blocks";
    const double seconds = (rec.arrivals[settle + measured] - rec.arrivals[settle]) / 1e9;
    const double mean = seconds / measured;
    RecordProperty("mean_block_interval_us", static_cast<int>(mean * 1e6));
    std::printf("rate %u: mean block interval %.3f ms (nominal %.3f ms, %+.2f %%)\n", rate,
                mean * 1e3, period * 1e3, (mean / period - 1) * 100);
    EXPECT_NEAR(mean, period, 0.05 * period);

    // The ring's buffers come back in the order they were added.
    for (std::size_t i = 0; i < rec.order.size(); ++i)
        ASSERT_EQ(rec.order[i], static_cast<int>(i % 8)) << "block " << i;

    // Every full block carries the tone on its bin.
    const double binHz = rate / 512.0;
    const int expectedBin = static_cast<int>(std::lround(kToneHz / binHz));
    ASSERT_FALSE(rec.peakBins.empty());
    for (int bin : rec.peakBins)
        ASSERT_LE(std::abs(bin - expectedBin), 1) << "peak at " << bin * binHz << " Hz";

    // Reset hands back every buffer; then the device closes.
    ASSERT_EQ(device.reset(wave.WaveInHandle), 0u);
    rec.requeue = false;
    const std::size_t before = rec.order.size();
    ASSERT_TRUE(waitFor([&] { return rec.order.size() == before + 8; }, 2000));
    for (WaveHeader* h : wave.WaveHeaders)
        ASSERT_EQ(device.unprepareHeader(wave.WaveInHandle, h), 0u);
    ASSERT_EQ(device.close(wave.WaveInHandle), 0u);
    ASSERT_TRUE(waitFor([&] { return rec.closed; }, 2000));
    EXPECT_EQ(rec.failure, 0u);
    EXPECT_EQ(rec.lost, 0u);
}

INSTANTIATE_TEST_SUITE_P(FiveRates, RealDevice,
                         ::testing::Values(8000u, 11025u, 22050u, 44100u, 48000u),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(RealDeviceRules, CallsOnAHandleThatIsNotOpenAreRefused) {
    PulseWaveIn device;
    WaveHeader h{};
    EXPECT_EQ(device.reset(0), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(device.unprepareHeader(0, &h), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(device.close(7), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(device.query(WaveFormat{}), WAVERR_BADFORMAT); // rate 0
}
