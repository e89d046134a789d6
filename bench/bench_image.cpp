// Resampling speed: a photograph-sized picture shrunk to a thumbnail and to a page width with
// each kernel, against Qt's own smooth scaling as the yardstick. The editor's image hint and
// template thumbnails resample on the interface thread, so a thumbnail should take a few tens
// of milliseconds at most.
#include <benchmark/benchmark.h>

#include <QImage>

#include "scripting/objects/ImageResampler.h"

namespace {

QImage Photo() {
  static const QImage image = [] {
    QImage picture(3000, 2000, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
      for (int x = 0; x < picture.width(); ++x) row[x] = qRgb(x * 7 % 256, y * 5 % 256, (x ^ y) % 256);
    }
    return picture;
  }();
  return image;
}

void BM_Resample(benchmark::State& state) {
  const QImage source = Photo();
  const auto filter = static_cast<pw::TResampleFilter>(state.range(0));
  const int width = static_cast<int>(state.range(1));
  for (auto _ : state) {
    benchmark::DoNotOptimize(pw::Resample(source, width, width * 2 / 3, filter));
  }
}
BENCHMARK(BM_Resample)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {300, 1200}})
    ->ArgNames({"filter", "width"})
    ->Unit(benchmark::kMillisecond);

void BM_QtSmoothScale(benchmark::State& state) {
  const QImage source = Photo();
  const int width = static_cast<int>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(source.scaled(width, width * 2 / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  }
}
BENCHMARK(BM_QtSmoothScale)->Arg(300)->Arg(1200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
