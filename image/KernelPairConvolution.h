#ifndef FILAMORPH_IMAGE_KERNELPAIRCONVOLUTION_H
#define FILAMORPH_IMAGE_KERNELPAIRCONVOLUTION_H
// Two kernels of one size convolved over the gray plane in a single pass.

#include "image/GrayImage.h"
#include "image/Plane.h"

namespace filamorph {

// The weights and output scale of one kernel of the pair.
struct PairKernel {
  const Plane<float>& weights;
  float scale;
};

// Writes into firstOut and secondOut exactly what convolve() would write into
// filteredPlane with each kernel in turn as the image's kernel: the same sums
// in the same order, and a zero margin. Both kernels take the geometry of the
// image's current kernel (rows, columns, half-lengths); a kernel of another
// size convolves nothing. The output planes are made at the gray plane's size
// when they have another.
void convolveKernelPair(const GrayImage& image, const PairKernel& first, Plane<float>& firstOut,
                        const PairKernel& second, Plane<float>& secondOut);

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_KERNELPAIRCONVOLUTION_H
