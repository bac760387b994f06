// Internal to the JPEG reader: its block inverse transform, open to the tests that check the fast
// evaluation against the plain 64-term sum.
#pragma once

#include <cstddef>
#include <cstdint>

// Basis value of the transform for frequency 0..7 at sample 0..7: 700 for frequency 0, otherwise
// 10 x round(100 x cos(k / 100)) with k = ((2 x sample + 1) x 19 x frequency) mod 629.
int32_t JpgBasisValue(int32_t frequency, int32_t sample);

// Inverse transform of one block. Coefficients are dequantized and row-major (row = vertical
// frequency, column = horizontal frequency). Sample (x, y) is
//   sum over u, v of coefficient[v][u] x basis(u, x) x basis(v, y), divided by 4,000,000 with
//   truncation toward zero, plus 128,
// limited to -32768..32767 (beyond what any 8-bit picture carries). Writes 8 rows of 8 samples,
// `stride` samples apart.
void JpgInverseTransform(const int32_t coefficients[64], int16_t* samples, ptrdiff_t stride);

// Called by the decoder after each block it transforms, with the block's coefficients and the
// samples it wrote (tests only; a null observer turns it off).
using JpgBlockObserver = void (*)(const int32_t coefficients[64], const int16_t* samples, ptrdiff_t stride,
                                  void* context);
void JpgSetBlockObserver(JpgBlockObserver observer, void* context);

// Ordinary blocks are evaluated eight lanes at a time where the processor has AVX2, else by the
// portable separable code; both give the same exact sums. Tests force the portable one to check it.
void JpgForcePortableTransform(bool portable);
bool JpgVectorTransformAvailable();
