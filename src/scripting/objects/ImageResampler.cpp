#include "scripting/objects/ImageResampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace pw {

namespace {

double Sinc(double x) {
  if (x == 0) return 1;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double Radius(TResampleFilter filter) {
  switch (filter) {
    case TResampleFilter::rfLinear: return 1;
    case TResampleFilter::rfCubic: return 2;
    case TResampleFilter::rfLanczos: return 3;
    default: return 0.5;
  }
}

double Kernel(TResampleFilter filter, double x) {
  x = std::fabs(x);
  switch (filter) {
    case TResampleFilter::rfLinear: return x < 1 ? 1 - x : 0;
    case TResampleFilter::rfCubic: {
      // Catmull-Rom (a = -0.5): interpolating, so a picture of the same size stays as it was.
      constexpr double a = -0.5;
      if (x < 1) return ((a + 2) * x - (a + 3)) * x * x + 1;
      if (x < 2) return ((a * x - 5 * a) * x + 8 * a) * x - 4 * a;
      return 0;
    }
    case TResampleFilter::rfLanczos: return x < 3 ? Sinc(x) * Sinc(x / 3) : 0;
    default: return x <= 0.5 ? 1 : 0;
  }
}

// For each destination position: the first source index and the normalised weights.
struct TContribution {
  int First = 0;
  std::vector<float> Weights;
};

std::vector<TContribution> Contributions(int sourceSize, int destSize, TResampleFilter filter) {
  std::vector<TContribution> result(static_cast<size_t>(destSize));
  const double scale = static_cast<double>(sourceSize) / destSize;
  for (int d = 0; d < destSize; ++d) {
    TContribution& c = result[static_cast<size_t>(d)];
    const double center = (d + 0.5) * scale;
    if (filter == TResampleFilter::rfNearest) {
      c.First = std::clamp(static_cast<int>(center), 0, sourceSize - 1);
      c.Weights = {1.0F};
      continue;
    }
    // Shrinking widens the kernel so that it averages instead of skipping pixels.
    const double stretch = std::max(1.0, scale);
    const double radius = Radius(filter) * stretch;
    const int first = static_cast<int>(std::floor(center - radius));
    const int last = static_cast<int>(std::ceil(center + radius));
    std::vector<double> weights;
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double w = Kernel(filter, (s + 0.5 - center) / stretch);
      weights.push_back(w);
      total += w;
    }
    if (total == 0) {  // a box narrower than the spacing: take the nearest pixel
      c.First = std::clamp(static_cast<int>(center), 0, sourceSize - 1);
      c.Weights = {1.0F};
      continue;
    }
    // Pixels past the edge repeat the edge pixel.
    c.First = std::clamp(first, 0, sourceSize - 1);
    const int lastIndex = std::clamp(last, 0, sourceSize - 1);
    c.Weights.assign(static_cast<size_t>(lastIndex - c.First + 1), 0.0F);
    for (int s = first; s <= last; ++s) {
      const int at = std::clamp(s, 0, sourceSize - 1) - c.First;
      c.Weights[static_cast<size_t>(at)] += static_cast<float>(weights[static_cast<size_t>(s - first)] / total);
    }
  }
  return result;
}

// Premultiplied colour channels as floats, row by row.
using TPlane = std::vector<float>;

}  // namespace

QImage Resample(const QImage& source, int width, int height, TResampleFilter filter) {
  if (source.isNull() || width < 1 || height < 1) return QImage();
  const QImage src = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int sw = src.width();
  const int sh = src.height();

  // Horizontal pass: sh rows of width pixels.
  const auto across = Contributions(sw, width, filter);
  TPlane middle(static_cast<size_t>(width) * static_cast<size_t>(sh) * 4);
  for (int y = 0; y < sh; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    float* out = &middle[static_cast<size_t>(y) * static_cast<size_t>(width) * 4];
    for (int x = 0; x < width; ++x) {
      const TContribution& c = across[static_cast<size_t>(x)];
      float a = 0, r = 0, g = 0, b = 0;
      for (size_t k = 0; k < c.Weights.size(); ++k) {
        const QRgb p = row[c.First + static_cast<int>(k)];
        const float w = c.Weights[k];
        a += w * static_cast<float>(qAlpha(p));
        r += w * static_cast<float>(qRed(p));
        g += w * static_cast<float>(qGreen(p));
        b += w * static_cast<float>(qBlue(p));
      }
      out[4 * x] = a;
      out[4 * x + 1] = r;
      out[4 * x + 2] = g;
      out[4 * x + 3] = b;
    }
  }

  // Vertical pass into the result; kernels with negative lobes may overshoot, so channels are
  // clamped, and colour never exceeds alpha in premultiplied form.
  const auto down = Contributions(sh, height, filter);
  QImage result(width, height, QImage::Format_ARGB32_Premultiplied);
  if (result.isNull()) return QImage();
  for (int y = 0; y < height; ++y) {
    const TContribution& c = down[static_cast<size_t>(y)];
    auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < width; ++x) {
      float channel[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < c.Weights.size(); ++k) {
        const float* p = &middle[(static_cast<size_t>(c.First) + k) * static_cast<size_t>(width) * 4 + 4 * static_cast<size_t>(x)];
        for (int i = 0; i < 4; ++i) channel[i] += c.Weights[k] * p[i];
      }
      const int a = std::clamp(static_cast<int>(std::lround(channel[0])), 0, 255);
      auto colour = [&](float v) { return std::clamp(static_cast<int>(std::lround(v)), 0, a); };
      out[x] = qRgba(colour(channel[1]), colour(channel[2]), colour(channel[3]), a);
    }
  }
  return result.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace pw
