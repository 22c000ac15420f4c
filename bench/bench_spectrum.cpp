// Speed of one captured block on its way to the spectrum picture.
//
//   FftOurs         FFT(512, 512): our transform including the integer magnitudes
//   FftOursSse2     the same forced onto the SSE2 kernel, as on a processor
//                   without AVX
//   FftFftwComplex  FFTW's 512-point complex transform (FFTW_MEASURE), input
//                   copied in as complex numbers: the yardstick (ours within 2x)
//   SpectrumBlock   FFT, SpecToPoints, AverageBuffers, then clearing a 512 x 93
//                   picture, the trace through points 1 … 511 and both cursors
//                   (goal: under 107 us, 1% of the 10.7 ms between two blocks
//                   at 48000/s)
//   PointsAndAverage, DrawPicture: the parts of SpectrumBlock after the transform
//   WaveformBlock   SineToPoints (triggered), clearing a 512 x 93 picture, the
//                   trace and both cursors
//   SonagraphFlow/H one block in the sonagraph's Flow mode: FFT, SpecToPoints,
//                   the row with the two scrolls around it, the cursor strip;
//                   H = 93 (the window at its design size) and 503 (the
//                   tallest window)
//
// Run: quarl_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "analysis/Fourier.h"
#include "analysis/Sonagraph.h"
#include "analysis/Spectrum.h"
#include "analysis/Waveform.h"
#include "display/Picture.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

constexpr int kBlock = 512;

// A realistic block: two tones (an FSK pair) plus a little noise, at about a
// third of full scale, as a receiver's audio output would give.
std::array<int16_t, kBlock> RealisticBlock() {
    std::array<int16_t, kBlock> block{};
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 300.0);
    for (int i = 0; i < kBlock; ++i) {
        const double t = i / 8000.0;
        const double v = 6000 * std::sin(2 * M_PI * 1275 * t) +
                         4000 * std::sin(2 * M_PI * 1445 * t) + noise(rng);
        block[i] = static_cast<int16_t>(std::lrint(v));
    }
    return block;
}

void FftOurs(benchmark::State& state) {
    const auto block = RealisticBlock();
    std::array<int32_t, kBlock> magnitudes{};
    for (auto _ : state) {
        FFT(kBlock, kBlock, block.data(), magnitudes.data());
        benchmark::DoNotOptimize(magnitudes.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FftOurs);

void FftOursSse2(benchmark::State& state) {
    if (!SelectFftKernel(FftKernel::Sse2)) {
        state.SkipWithError("no SSE2 kernel in this build");
        return;
    }
    FftOurs(state);
    SelectFftKernel(FftKernel::Best);
}
BENCHMARK(FftOursSse2);

void FftFftwComplex(benchmark::State& state) {
    const auto block = RealisticBlock();
    fftw_complex* in = fftw_alloc_complex(kBlock);
    fftw_complex* out = fftw_alloc_complex(kBlock);
    fftw_plan plan = fftw_plan_dft_1d(kBlock, in, out, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            in[i][0] = block[i];
            in[i][1] = 0.0;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(FftFftwComplex);

void SpectrumBlock(benchmark::State& state) {
    const auto block = RealisticBlock();
    std::array<int32_t, kBlock> fft{}, accumulator{}, averaged{};
    std::array<DisplayPoint, kBlock> points{};
    QImage picture(512, 93, QImage::Format_RGB32);
    // 8000/s with a bandwidth of 2000 Hz (4 columns per bin), gain 50,
    // averaging over 10 blocks, cursors on the two tones.
    for (auto _ : state) {
        FFT(kBlock, kBlock, block.data(), fft.data());
        SpecToPoints(averaged.data(), picture.height(), 50, 4000, 2000, points.data());
        AverageBuffers(fft.data(), accumulator.data(), averaged.data(), 10);
        ClearPicture(picture);
        DrawSpectrumTrace(picture, points.data(), 1, kBlock - 1);
        DrawCursorLines(picture, 326, 370);
        benchmark::DoNotOptimize(picture.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(SpectrumBlock);

// The parts of SpectrumBlock after the transform, to see where its time goes.
void PointsAndAverage(benchmark::State& state) {
    const auto block = RealisticBlock();
    std::array<int32_t, kBlock> fft{}, accumulator{}, averaged{};
    std::array<DisplayPoint, kBlock> points{};
    FFT(kBlock, kBlock, block.data(), fft.data());
    for (auto _ : state) {
        SpecToPoints(averaged.data(), 93, 50, 4000, 2000, points.data());
        AverageBuffers(fft.data(), accumulator.data(), averaged.data(), 10);
        benchmark::DoNotOptimize(points.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(PointsAndAverage);

void DrawPicture(benchmark::State& state) {
    const auto block = RealisticBlock();
    std::array<int32_t, kBlock> fft{};
    std::array<DisplayPoint, kBlock> points{};
    QImage picture(512, 93, QImage::Format_RGB32);
    FFT(kBlock, kBlock, block.data(), fft.data());
    SpecToPoints(fft.data(), picture.height(), 50, 4000, 2000, points.data());
    for (auto _ : state) {
        ClearPicture(picture);
        DrawSpectrumTrace(picture, points.data(), 1, kBlock - 1);
        DrawCursorLines(picture, 326, 370);
        benchmark::DoNotOptimize(picture.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(DrawPicture);

void WaveformBlock(benchmark::State& state) {
    const auto block = RealisticBlock();
    std::array<DisplayPoint, kBlock> points{};
    QImage picture(512, 93, QImage::Format_RGB32);
    for (auto _ : state) {
        SineToPoints(block.data(), picture.height(), 1, true, points.data());
        ClearPicture(picture);
        DrawSpectrumTrace(picture, points.data(), 1, kBlock - 1);
        DrawCursorLines(picture, 100, 200);
        benchmark::DoNotOptimize(picture.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(WaveformBlock);

// The display's height: 93 at the window's design size, 503 in the tallest
// window (600 pixels outside, less the frame, the bars and the 10-pixel strip).
void SonagraphFlow(benchmark::State& state) {
    const int height = static_cast<int>(state.range(0));
    const auto block = RealisticBlock();
    std::array<int32_t, kBlock> fft{}, averaged{};
    std::array<DisplayPoint, kBlock> points{};
    QImage picture(512, height, QImage::Format_RGB32);
    ClearPicture(picture);
    QImage strip(512, 10, QImage::Format_RGB32); // the rows of the strip that show
    uint16_t sweepRow = 0;
    auto* pixels = reinterpret_cast<uint32_t*>(picture.bits());
    const int stride = static_cast<int>(picture.bytesPerLine() / sizeof(uint32_t));
    for (auto _ : state) {
        FFT(kBlock, kBlock, block.data(), fft.data());
        averaged = fft;
        SpecToPoints(averaged.data(), height, 50, 4000, 2000, points.data());
        DrawSonagraph(pixels, picture.width(), height, stride, points.data() + 1, kSonaHigh,
                      picture.width() - 1, true, false, sweepRow);
        ClearPicture(strip);
        DrawCursorLines(strip, 326, 370);
        benchmark::DoNotOptimize(picture.constBits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(SonagraphFlow)->Arg(93)->Arg(503);

} // namespace

int main(int argc, char** argv) {
    // The painter needs a GUI application; no display is needed to draw into
    // an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
