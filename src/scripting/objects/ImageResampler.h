// Resampling of pictures with real kernels: separable two-pass convolution on premultiplied
// colour, the kernel widened by the scale factor when shrinking so that every source pixel
// contributes (Qt's own smooth scaling is a box-like average, not a Lanczos). Stateless and
// thread-safe.
#pragma once

#include <QImage>

namespace pw {

enum class TResampleFilter {
  rfNearest,  // nearest neighbour
  rfLinear,   // triangle kernel, radius 1
  rfCubic,    // Catmull-Rom cubic, radius 2
  rfLanczos,  // Lanczos windowed sinc, radius 3
  rfBox,      // box kernel, radius 1/2
};

// The picture resampled to width × height (both at least 1), as ARGB32. A null picture gives
// a null picture.
QImage Resample(const QImage& source, int width, int height, TResampleFilter filter);

}  // namespace pw
