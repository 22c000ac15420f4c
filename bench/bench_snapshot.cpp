// Speed of a snapshot's own work, once per save (no goal beyond being
// unnoticeable next to the save dialog):
//
//   SnapshotAnnotate  the three lines' texts and drawing them onto a 512 x 93
//                     picture
//   SnapshotEncode    the 32-bit BMP file of that picture, in memory
//
// Runs in quarl_bench beside the spectrum path's benchmarks.

#include "display/Bmp.h"
#include "display/CursorReadout.h"
#include "display/Picture.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

QImage Display() {
    QImage picture(512, 93, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

void BM_SnapshotAnnotate(benchmark::State& state) {
    QImage picture = Display();
    for (auto _ : state) {
        DrawAnnotation(picture, SnapshotAnnotation(8000, 50, 100, 2.0, 15.625));
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_SnapshotAnnotate)->Name("SnapshotAnnotate");

void BM_SnapshotEncode(benchmark::State& state) {
    const QImage picture = Display();
    for (auto _ : state) {
        auto file = EncodeBmp32(reinterpret_cast<const std::uint32_t*>(picture.constBits()),
                                picture.width(), picture.height(), picture.width());
        benchmark::DoNotOptimize(file.data());
    }
}
BENCHMARK(BM_SnapshotEncode)->Name("SnapshotEncode");

} // namespace
