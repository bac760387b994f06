// JPEG pictures: baseline sequential, Huffman-coded files (greyscale or YCbCr, sampling factors 1 or
// 2, restart markers) decoded into 24-bit pictures.
//
// Decoding keeps one plane of 16-bit samples per component. When the first scan carries every
// component (the usual single interleaved scan, or any greyscale file) the planes hold one row of
// MCUs, which is colour-converted as soon as it is complete. Otherwise (one scan per component) the
// planes hold the whole picture and the conversion runs once all scans are in.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "data/data_file.h"
#include "image/image_formats.h"
#include "image/image_jpg_internal.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The inverse transform has an eight-lane AVX2 evaluation, chosen at run time.
#define THORNFALL_JPG_AVX2 1
#include <immintrin.h>
#else
#define THORNFALL_JPG_AVX2 0
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// ------------------------------------------------------------------------------------------------
// Tables

// Stream (zig-zag) position of a coefficient -> its place in the row-major 8 x 8 block.
constexpr uint8_t kNaturalOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                       12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                       35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                       58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The transform works with every basis value divided by 10 (70 for frequency 0, the cosine table
// entry otherwise). Each product then carries a factor 100 less, so dividing the sum by 40,000
// instead of 4,000,000 gives the same truncated quotient with smaller intermediates.
constexpr int32_t kTransformDivisor = 40000;
constexpr int32_t kCosineTableSize = 629;
constexpr int32_t kDcBasis = 70;
// With |basis / 10| <= 100, every partial sum of a block is at most 10,000 x (sum of |coefficient|),
// so blocks up to this sum are evaluated exactly in 32 bits; larger ones (never seen in real
// pictures) take 64 bits.
constexpr int64_t kInt32SumLimit = 214748;

// Colour conversion offsets are tabulated for chroma samples -128..383, far beyond what real
// pictures reach; samples outside take the exact slow path.
constexpr int32_t kColourTableLow = -128;
constexpr uint32_t kColourTableSize = 512;
// Keeps the green numerator positive so that an unsigned division floors it.
constexpr int32_t kGreenBiasSteps = 512;

struct JpgTables {
  int32_t basis[8][8];  // [frequency][sample]: basis value / 10
  int32_t red[kColourTableSize];
  int32_t blue[kColourTableSize];
  int32_t greenCb[kColourTableSize];
  int32_t greenCr[kColourTableSize];
};

int64_t FloorDiv(int64_t numerator, int64_t divisor) {
  const int64_t quotient = numerator / divisor;
  return numerator % divisor < 0 ? quotient - 1 : quotient;
}

JpgTables BuildTables() {
  JpgTables tables{};
  int32_t cosine[kCosineTableSize];
  for (int32_t k = 0; k < kCosineTableSize; ++k) {
    cosine[k] = static_cast<int32_t>(std::lround(100.0 * std::cos(k / 100.0)));
  }
  for (int32_t sample = 0; sample < 8; ++sample) {
    tables.basis[0][sample] = kDcBasis;
    for (int32_t frequency = 1; frequency < 8; ++frequency) {
      tables.basis[frequency][sample] = cosine[((2 * sample + 1) * 19 * frequency) % kCosineTableSize];
    }
  }
  // The conversion factors are exact decimals, so each channel is computed as an exact fraction and
  // rounded to the nearest integer (halves upward).
  for (uint32_t i = 0; i < kColourTableSize; ++i) {
    const int64_t difference = static_cast<int64_t>(i) + kColourTableLow - 128;
    tables.red[i] = static_cast<int32_t>(FloorDiv(1402 * difference + 500, 1000));
    tables.blue[i] = static_cast<int32_t>(FloorDiv(1772 * difference + 500, 1000));
    tables.greenCb[i] = static_cast<int32_t>(-34414 * difference);
    tables.greenCr[i] = static_cast<int32_t>(-71414 * difference + 50000 + kGreenBiasSteps * 100000);
  }
  return tables;
}

const JpgTables& Tables() {
  static const JpgTables tables = BuildTables();
  return tables;
}

// The unit's settings, all of them test hooks; ImageJpgStart restores the defaults.
struct jpgHooks {
  JpgBlockObserver blockObserver = nullptr;
  void* blockObserverContext = nullptr;
  bool portableTransformForced = false;
};

jpgHooks gHooks;

// ------------------------------------------------------------------------------------------------
// Inverse transform

// What the transform needs to know about a decoded block besides its coefficients.
struct BlockShape {
  int32_t maxColumn = 0;  // columns right of it and rows below maxRow hold only zeros
  int32_t maxRow = 0;
  int64_t absSum = 0;  // sum of |coefficient|: decides whether 32 bits are enough
  int32_t count = 0;   // places that may hold a coefficient (the DC place always)
  uint8_t places[64];
};

BlockShape ShapeOf(const int32_t* block) {
  BlockShape shape;
  shape.places[shape.count++] = 0;
  shape.absSum = std::abs(static_cast<int64_t>(block[0]));
  for (int32_t place = 1; place < 64; ++place) {
    if (block[place] == 0) continue;
    shape.places[shape.count++] = static_cast<uint8_t>(place);
    shape.maxColumn = std::max(shape.maxColumn, place & 7);
    shape.maxRow = std::max(shape.maxRow, place >> 3);
    shape.absSum += std::abs(static_cast<int64_t>(block[place]));
  }
  return shape;
}

inline int16_t SaturateSample(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767)); }

// Separable evaluation of the 64-term sum: first down each column (vertical frequencies), then
// along each row (horizontal frequencies). Integer sums are exact in any order, so the result is
// the plain sum's; columns right of maxColumn and rows below maxRow hold only zeros and are skipped.
template <typename Sum>
void TransformSeparable(const int32_t (*basis)[8], const int32_t* block, const BlockShape& shape, int16_t* out,
                        ptrdiff_t stride) {
  Sum partial[8][8];  // [horizontal frequency][row]
  for (int32_t u = 0; u <= shape.maxColumn; ++u) {
    Sum column[8] = {};
    for (int32_t v = 0; v <= shape.maxRow; ++v) {
      const Sum coefficient = block[v * 8 + u];
      if (coefficient == 0) continue;
      for (int32_t y = 0; y < 8; ++y) column[y] += coefficient * basis[v][y];
    }
    for (int32_t y = 0; y < 8; ++y) partial[u][y] = column[y];
  }
  // With only the first row of coefficients every row of samples is the same.
  const int32_t rows = shape.maxRow == 0 ? 1 : 8;
  for (int32_t y = 0; y < rows; ++y) {
    Sum row[8] = {};
    for (int32_t u = 0; u <= shape.maxColumn; ++u) {
      const Sum value = partial[u][y];
      for (int32_t x = 0; x < 8; ++x) row[x] += value * basis[u][x];
    }
    int16_t* target = out + y * stride;
    for (int32_t x = 0; x < 8; ++x) target[x] = SaturateSample(row[x] / kTransformDivisor + 128);
  }
  for (int32_t y = rows; y < 8; ++y) std::memcpy(out + y * stride, out, 8 * sizeof(int16_t));
}

#if THORNFALL_JPG_AVX2
// trunc(n / 40,000) in every lane: the high half of n x 1,759,218,605 shifted right by 14, plus one
// for negative n (the same steps as a compiler's division by the constant; checked against
// division for every 32-bit n).
__attribute__((target("avx2"))) inline __m256i DivideByTransformDivisor(__m256i n) {
  const __m256i magic = _mm256_set1_epi32(1759218605);
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(n, magic), 32);
  const __m256i odd = _mm256_mul_epi32(_mm256_srli_epi64(n, 32), magic);
  const __m256i high = _mm256_blend_epi32(even, odd, 0xAA);
  return _mm256_sub_epi32(_mm256_srai_epi32(high, 14), _mm256_srai_epi32(n, 31));
}

// The same sum, rows first, eight lanes at a time: rows[v] (over x) gathers coefficient[v][u] x
// basis(u, x) for the coefficients present, then sample row y is the sum over v of rows[v] x
// basis(v, y). Exact in 32 bits for blocks within kInt32SumLimit.
__attribute__((target("avx2"))) void TransformVector(const int32_t (*basis)[8], const int32_t* block,
                                                     const BlockShape& shape, int16_t* out, ptrdiff_t stride) {
  __m256i rows[8];
  for (int32_t v = 0; v <= shape.maxRow; ++v) rows[v] = _mm256_setzero_si256();
  for (int32_t i = 0; i < shape.count; ++i) {
    const int32_t place = shape.places[i];
    const __m256i basisRow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(basis[place & 7]));
    rows[place >> 3] =
        _mm256_add_epi32(rows[place >> 3], _mm256_mullo_epi32(_mm256_set1_epi32(block[place]), basisRow));
  }
  const int32_t outRows = shape.maxRow == 0 ? 1 : 8;
  const __m256i bias = _mm256_set1_epi32(128);
  for (int32_t y = 0; y < outRows; ++y) {
    __m256i sum = _mm256_mullo_epi32(rows[0], _mm256_set1_epi32(basis[0][y]));
    for (int32_t v = 1; v <= shape.maxRow; ++v) {
      sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(rows[v], _mm256_set1_epi32(basis[v][y])));
    }
    const __m256i samples = _mm256_add_epi32(DivideByTransformDivisor(sum), bias);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + y * stride),
                     _mm_packs_epi32(_mm256_castsi256_si128(samples), _mm256_extracti128_si256(samples, 1)));
  }
  for (int32_t y = outRows; y < 8; ++y) std::memcpy(out + y * stride, out, 8 * sizeof(int16_t));
}

bool ProcessorHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif

// Whether ordinary blocks go through the eight-lane evaluation.
bool UseVectorTransform() {
#if THORNFALL_JPG_AVX2
  static const bool haveAvx2 = ProcessorHasAvx2();
  return haveAvx2 && !gHooks.portableTransformForced;
#else
  return false;
#endif
}

void TransformBlock(const int32_t (*basis)[8], const int32_t* block, const BlockShape& shape, bool vector, int16_t* out,
                    ptrdiff_t stride) {
  if (shape.maxColumn == 0 && shape.maxRow == 0) {
    // Only the DC coefficient: every sample is coefficient x 70 x 70 / 40,000.
    const int16_t value =
        SaturateSample(static_cast<int64_t>(block[0]) * (kDcBasis * kDcBasis) / kTransformDivisor + 128);
    for (int32_t y = 0; y < 8; ++y) std::fill_n(out + y * stride, 8, value);
  } else if (shape.absSum > kInt32SumLimit) {
    TransformSeparable<int64_t>(basis, block, shape, out, stride);
#if THORNFALL_JPG_AVX2
  } else if (vector) {
    TransformVector(basis, block, shape, out, stride);
#endif
  } else {
    TransformSeparable<int32_t>(basis, block, shape, out, stride);
  }
  static_cast<void>(vector);
}

// ------------------------------------------------------------------------------------------------
// Colour conversion

inline uint32_t Clamp255(int64_t value) { return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, 255)); }

inline uint32_t PackPixel(int64_t red, int64_t green, int64_t blue) {
  return (Clamp255(red) << 16) | (Clamp255(green) << 8) | Clamp255(blue);
}

// Exact for any samples: R = Y + 1.402 (Cr - 128), G = Y - 0.34414 (Cb - 128) - 0.71414 (Cr - 128),
// B = Y + 1.772 (Cb - 128), each rounded to the nearest integer and limited to 0..255; alpha 0.
uint32_t ConvertPixelExact(int32_t y, int32_t cb, int32_t cr) {
  const int64_t db = cb - 128;
  const int64_t dr = cr - 128;
  return PackPixel(y + FloorDiv(1402 * dr + 500, 1000), y + FloorDiv(-34414 * db - 71414 * dr + 50000, 100000),
                   y + FloorDiv(1772 * db + 500, 1000));
}

inline uint32_t ConvertPixel(const JpgTables& tables, int32_t y, int32_t cb, int32_t cr) {
  const uint32_t indexCb = static_cast<uint32_t>(cb - kColourTableLow);
  const uint32_t indexCr = static_cast<uint32_t>(cr - kColourTableLow);
  if (indexCb >= kColourTableSize || indexCr >= kColourTableSize) return ConvertPixelExact(y, cb, cr);
  const int32_t green =
      static_cast<int32_t>(static_cast<uint32_t>(tables.greenCb[indexCb] + tables.greenCr[indexCr]) / 100000u) -
      kGreenBiasSteps;
  return PackPixel(y + tables.red[indexCr], y + green, y + tables.blue[indexCb]);
}

// What one chroma pair adds to Y in each channel (red and blue depend on one chroma sample, green
// on both), exact as above. False when an offset does not fit 16 bits, which only samples far
// outside any picture give; the caller then converts pixel by pixel.
inline bool ChromaOffsets(const JpgTables& tables, int32_t cb, int32_t cr, int16_t& red, int16_t& green,
                          int16_t& blue) {
  const uint32_t indexCb = static_cast<uint32_t>(cb - kColourTableLow);
  const uint32_t indexCr = static_cast<uint32_t>(cr - kColourTableLow);
  if (indexCb < kColourTableSize && indexCr < kColourTableSize) {
    red = static_cast<int16_t>(tables.red[indexCr]);
    blue = static_cast<int16_t>(tables.blue[indexCb]);
    green = static_cast<int16_t>(
        static_cast<int32_t>(static_cast<uint32_t>(tables.greenCb[indexCb] + tables.greenCr[indexCr]) / 100000u) -
        kGreenBiasSteps);
    return true;
  }
  const int64_t db = cb - 128;
  const int64_t dr = cr - 128;
  const int64_t offsets[3] = {FloorDiv(1402 * dr + 500, 1000), FloorDiv(-34414 * db - 71414 * dr + 50000, 100000),
                              FloorDiv(1772 * db + 500, 1000)};
  for (int64_t offset : offsets) {
    if (offset < -32768 || offset > 32767) return false;
  }
  red = static_cast<int16_t>(offsets[0]);
  green = static_cast<int16_t>(offsets[1]);
  blue = static_cast<int16_t>(offsets[2]);
  return true;
}

#if defined(__SSE2__)
// Eight pixels from eight red, green and blue values (16-bit, limited to 0..255 here), alpha 0.
inline void StoreEightPixels(uint32_t* out, __m128i red, __m128i green, __m128i blue) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i blueGreen = _mm_unpacklo_epi8(_mm_packus_epi16(blue, blue), _mm_packus_epi16(green, green));
  const __m128i redAlpha = _mm_unpacklo_epi8(_mm_packus_epi16(red, red), zero);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(blueGreen, redAlpha));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(blueGreen, redAlpha));
}
#endif

// Pixels x0..x1-1 of a row: Y plus the chroma offsets of sample x >> kShift. Y and the offsets are
// 16-bit, so a saturating 16-bit sum followed by limiting to 0..255 is the exact clamped result.
template <int32_t kShift>
void AddChromaOffsets(const int16_t* luma, const int16_t* red, const int16_t* green, const int16_t* blue, uint32_t* out,
                      int32_t x0, int32_t x1) {
  int32_t x = x0;
#if defined(__SSE2__)
  for (; x + 8 <= x1; x += 8) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    __m128i r, g, b;
    if constexpr (kShift == 0) {
      r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + x));
      g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + x));
      b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + x));
    } else {
      r = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(red + (x >> 1)));
      g = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(green + (x >> 1)));
      b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(blue + (x >> 1)));
      r = _mm_unpacklo_epi16(r, r);
      g = _mm_unpacklo_epi16(g, g);
      b = _mm_unpacklo_epi16(b, b);
    }
    StoreEightPixels(out + x, _mm_adds_epi16(y, r), _mm_adds_epi16(y, g), _mm_adds_epi16(y, b));
  }
#endif
  for (; x < x1; ++x) {
    const int32_t c = x >> kShift;
    out[x] = PackPixel(luma[x] + red[c], luma[x] + green[c], luma[x] + blue[c]);
  }
}

// Grey pixels: R = G = B = Y limited to 0..255.
void ConvertGrey(const int16_t* luma, uint32_t* out, int32_t x0, int32_t x1) {
  int32_t x = x0;
#if defined(__SSE2__)
  for (; x + 8 <= x1; x += 8) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    StoreEightPixels(out + x, y, y, y);
  }
#endif
  for (; x < x1; ++x) out[x] = Clamp255(luma[x]) * 0x010101u;
}

// ------------------------------------------------------------------------------------------------
// Huffman tables and the entropy-coded bit stream

constexpr int32_t kFastBits = 9;

// The additional bits of a coefficient as a signed value (the standard's EXTEND).
inline int32_t Extend(uint32_t bits, int32_t size) {
  return bits < (1u << (size - 1)) ? static_cast<int32_t>(bits) - ((1 << size) - 1) : static_cast<int32_t>(bits);
}

struct HuffmanTable {
  bool defined = false;
  // Codes up to kFastBits long, looked up by the next kFastBits bits: (length << 8) | symbol, or 0
  // where a longer code starts.
  uint16_t fast[1 << kFastBits] = {};
  // AC symbols whose code and additional bits fit in kFastBits together, decoded in one lookup:
  // value x 65536 + run x 256 + bits used; 0 where the lookup above has to be used.
  int32_t fastAc[1 << kFastBits] = {};
  // Canonical decoding of longer codes: the largest code of each length (-1 when there is none)
  // and the offset from a code of that length to its symbol's index.
  int32_t maxCode[17] = {};
  int32_t symbolOffset[17] = {};
  uint8_t symbols[256] = {};
};

// Assigns codes from the counts as the standard does (shortest first, counting up). False when the
// counts promise more codes of some length than that length can hold.
bool BuildHuffmanTable(HuffmanTable& table, const uint8_t counts[16], const uint8_t* symbols, int32_t total) {
  std::memset(table.fast, 0, sizeof table.fast);
  std::memset(table.fastAc, 0, sizeof table.fastAc);
  std::memset(table.symbols, 0, sizeof table.symbols);
  std::memcpy(table.symbols, symbols, static_cast<size_t>(total));
  int32_t code = 0;
  int32_t index = 0;
  for (int32_t length = 1; length <= 16; ++length) {
    const int32_t count = counts[length - 1];
    table.symbolOffset[length] = index - code;
    for (int32_t i = 0; i < count; ++i, ++code, ++index) {
      if (code >= (1 << length)) return false;
      if (length <= kFastBits) {
        const int32_t shift = kFastBits - length;
        const uint16_t entry = static_cast<uint16_t>((length << 8) | symbols[index]);
        for (int32_t fill = 0; fill < (1 << shift); ++fill) table.fast[(code << shift) | fill] = entry;
      }
    }
    table.maxCode[length] = count > 0 ? code - 1 : -1;
    code <<= 1;
  }
  for (int32_t bits = 0; bits < (1 << kFastBits); ++bits) {
    const int32_t entry = table.fast[bits];
    const int32_t length = entry >> 8;
    const int32_t run = (entry >> 4) & 15;
    const int32_t size = entry & 15;
    if (entry == 0 || size == 0 || length + size > kFastBits) continue;
    const uint32_t extra = (static_cast<uint32_t>(bits) >> (kFastBits - length - size)) & ((1u << size) - 1);
    table.fastAc[bits] = Extend(extra, size) * 65536 + run * 256 + length + size;
  }
  table.defined = true;
  return true;
}

// Reads entropy-coded bytes most significant bit first, turning 0xFF 0x00 into 0xFF. It stops in
// front of any marker (or at the end of the data) and from there supplies zero bits, counting them,
// so that a caller can tell afterwards whether it used bits the stream does not have.
//
// The bit buffer travels by value (BitBuffer) through the block decoder so that it stays in
// registers; the reader keeps it between blocks.
struct BitBuffer {
  uint64_t bits = 0;  // next bits at the top
  int32_t count = 0;
};

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, size_t position) : data_(data), size_(size), position_(position) {}

  BitBuffer Load() const { return buffer_; }
  void Store(BitBuffer buffer) { buffer_ = buffer; }

  // Tops the buffer up to more than 56 bits.
  BitBuffer Refill(BitBuffer buffer) {
    while (buffer.count <= 56) {
      uint64_t byte = 0;
      if (!stopped_ && position_ < size_) {
        byte = data_[position_];
        if (byte != 0xFF) {
          ++position_;
        } else if (position_ + 1 < size_ && data_[position_ + 1] == 0x00) {
          position_ += 2;
        } else {
          stopped_ = true;
          byte = 0;
        }
      } else {
        stopped_ = true;
      }
      if (stopped_) padding_ += 8;
      buffer.bits |= byte << (56 - buffer.count);
      buffer.count += 8;
    }
    return buffer;
  }

  // Whether bits past a marker or past the end of the data have been used.
  bool Overrun() const { return padding_ > buffer_.count; }
  // Where byte reading stands: at the marker that stopped it, or after the last byte it buffered.
  size_t Position() const { return position_; }

  // At a restart point: drops the buffered bits and steps over the restart marker (0xFFD0..0xFFD7,
  // after any 0xFF fill bytes) that must come next. False when something else follows.
  bool Restart() {
    size_t at = position_;
    if (at >= size_ || data_[at] != 0xFF) return false;
    while (at + 1 < size_ && data_[at + 1] == 0xFF) ++at;
    if (at + 1 >= size_ || data_[at + 1] < 0xD0 || data_[at + 1] > 0xD7) return false;
    position_ = at + 2;
    buffer_ = BitBuffer{};
    padding_ = 0;
    stopped_ = false;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_;
  BitBuffer buffer_;
  int32_t padding_ = 0;  // zero bits supplied past a marker or the end, at the bottom of the buffer
  bool stopped_ = false;
};

inline uint32_t PeekBits(const BitBuffer& buffer, int32_t count) {
  return static_cast<uint32_t>(buffer.bits >> (64 - count));
}

inline void SkipBits(BitBuffer& buffer, int32_t count) {
  buffer.bits <<= count;
  buffer.count -= count;
}

// 1..16 bits.
inline uint32_t TakeBits(BitBuffer& buffer, int32_t count) {
  const uint32_t value = PeekBits(buffer, count);
  SkipBits(buffer, count);
  return value;
}

// The next symbol, or -1 for a code the table does not hold. Needs 16 bits buffered.
inline int32_t DecodeSymbol(BitBuffer& buffer, const HuffmanTable& table) {
  const uint32_t entry = table.fast[PeekBits(buffer, kFastBits)];
  if (entry != 0) {
    SkipBits(buffer, static_cast<int32_t>(entry >> 8));
    return static_cast<int32_t>(entry & 0xFF);
  }
  const uint32_t next = PeekBits(buffer, 16);
  for (int32_t length = kFastBits + 1; length <= 16; ++length) {
    const int32_t code = static_cast<int32_t>(next >> (16 - length));
    if (code <= table.maxCode[length]) {
      const uint32_t index = static_cast<uint32_t>(code + table.symbolOffset[length]);
      if (index > 255) return -1;
      SkipBits(buffer, length);
      return table.symbols[index];
    }
  }
  return -1;
}

// Decodes one block: the DC difference (added to the component's predictor) and the AC run/size
// symbols, each coefficient multiplied by the quantisation value at its stream position and stored
// at its row-major place in `block` (all zero on entry). False on an invalid code, a DC category
// above 15 or a run past the block's end.
bool DecodeBlock(BitReader& reader, const HuffmanTable& dc, const HuffmanTable& ac, const int32_t* quant,
                 int32_t& prediction, int32_t* block, BlockShape& shape) {
  BitBuffer buffer = reader.Load();
  if (buffer.count < 32) buffer = reader.Refill(buffer);
  const int32_t category = DecodeSymbol(buffer, dc);
  if (category < 0 || category > 15) return false;
  const int32_t difference = category == 0 ? 0 : Extend(TakeBits(buffer, category), category);
  // The predictor wraps as a 16-bit coefficient would; a valid file never comes near.
  prediction = static_cast<int16_t>(prediction + difference);
  block[0] = prediction * quant[0];
  int64_t absSum = std::abs(block[0]);
  int32_t maxColumn = 0;
  int32_t maxRow = 0;
  int32_t count = 1;
  uint8_t* places = shape.places;
  places[0] = 0;
  for (int32_t k = 1; k < 64;) {
    if (buffer.count < 32) buffer = reader.Refill(buffer);
    int32_t coefficient;
    const int32_t fast = ac.fastAc[PeekBits(buffer, kFastBits)];
    if (fast != 0) {
      SkipBits(buffer, fast & 15);
      k += (fast >> 8) & 15;
      if (k > 63) return false;
      coefficient = (fast >> 16) * quant[k];
    } else {
      const int32_t symbol = DecodeSymbol(buffer, ac);
      if (symbol < 0) return false;
      const int32_t run = symbol >> 4;
      const int32_t size = symbol & 15;
      if (size == 0) {
        if (run != 15) break;  // end of block
        k += 16;
        continue;
      }
      k += run;
      if (k > 63) return false;
      coefficient = Extend(TakeBits(buffer, size), size) * quant[k];
    }
    const int32_t place = kNaturalOrder[k];
    block[place] = coefficient;
    places[count++] = static_cast<uint8_t>(place);
    absSum += std::abs(coefficient);
    maxColumn = std::max(maxColumn, place & 7);
    maxRow = std::max(maxRow, place >> 3);
    ++k;
  }
  reader.Store(buffer);
  shape.maxColumn = maxColumn;
  shape.maxRow = maxRow;
  shape.absSum = absSum;
  shape.count = count;
  return true;
}

// ------------------------------------------------------------------------------------------------
// The decoder

// A file may claim at most this many pixels per byte of its real size. Every block carries at least
// a DC code and an end-of-block code (2 bits for 64 samples), so a complete file holds at most 256
// pixels per byte; the factor 4 above that keeps heavily truncated files decodable while bounding
// what a short file can make the decoder allocate.
constexpr int64_t kMaxPixelsPerFileByte = 1024;
constexpr int32_t kMaxComponentId = 5;
constexpr int32_t kMaxScanComponents = 4;

struct Component {
  int32_t id = 0;
  int32_t h = 1;
  int32_t v = 1;
  int32_t quantTable = 0;
  int32_t dcTable = 0;
  int32_t acTable = 0;
  int32_t prediction = 0;
  int32_t shiftX = 0;  // 1 where the component has half the picture's resolution
  int32_t shiftY = 0;
  int32_t gridWide = 0;  // blocks covering the component alone (one-component scans)
  int32_t gridHigh = 0;
  std::vector<int16_t> plane;
  int32_t stride = 0;
  int64_t coveredMcus = 0;  // MCUs (in picture order) whose samples of this component are decoded
};

class JpgDecoder {
 public:
  JpgDecoder(const std::vector<uint8_t>& bytes, imageData* image) : bytes_(bytes), image_(image), tables_(Tables()) {}

  void Decode();

 private:
  bool ReadFrame(ByteReader& segment);
  bool ReadHuffmanTables(ByteReader& segment);
  bool ReadQuantTables(ByteReader& segment);
  // Reads a scan header and decodes the scan that follows it at `dataStart`. True when marker
  // parsing goes on at `next`; false when decoding ends.
  bool DecodeScan(ByteReader& header, size_t dataStart, size_t& next);
  bool PreparePlanes(bool everyComponent);
  int16_t* BlockAt(Component& component, int32_t blockColumn, int32_t blockRow, int32_t mcuRow);
  void ConvertMcus(int64_t from, int64_t to);
  void ConvertRow(int32_t y, int32_t x0, int32_t x1, int32_t mcuRow);
  void Finish();

  const std::vector<uint8_t>& bytes_;
  imageData* image_;
  const JpgTables& tables_;
  HuffmanTable dcTables_[4];
  HuffmanTable acTables_[4];
  int32_t quant_[4][64] = {};
  bool quantDefined_[4] = {};
  Component components_[3];
  int32_t componentCount_ = 0;
  bool frameRead_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t maxH_ = 1;
  int32_t maxV_ = 1;
  int32_t mcusWide_ = 0;
  int32_t mcusHigh_ = 0;
  int32_t restartInterval_ = 0;
  bool planesReady_ = false;
  // Planes hold one MCU row, converted as soon as it is complete; otherwise the whole picture.
  bool rowPlanes_ = false;
  int64_t convertedMcus_ = 0;
  // Chroma offsets of the chroma row last converted (x0..x1 of it).
  std::vector<int16_t> offsetRed_;
  std::vector<int16_t> offsetGreen_;
  std::vector<int16_t> offsetBlue_;
  int64_t offsetsRow_ = -1;
  int32_t offsetsX0_ = 0;
  int32_t offsetsX1_ = 0;
  bool offsetsExact_ = false;
};

void JpgDecoder::Decode() {
  ByteReader reader(bytes_);
  while (!reader.AtEnd()) {
    if (reader.U8() != 0xFF) continue;
    uint8_t marker = reader.U8();
    while (marker == 0xFF && !reader.AtEnd()) marker = reader.U8();  // fill bytes
    if (reader.Failed() || marker == 0xD9) break;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;
    const uint16_t length = reader.U16BE();
    if (reader.Failed() || length < 2) break;
    const size_t start = reader.Position();
    size_t end = std::min(start + length - 2, bytes_.size());
    ByteReader segment(bytes_.data() + start, end - start);
    bool going = true;
    switch (marker) {
      case 0xC0:
        going = ReadFrame(segment);
        break;
      case 0xC4:
        going = ReadHuffmanTables(segment);
        break;
      case 0xDB:
        going = ReadQuantTables(segment);
        break;
      case 0xDD:
        restartInterval_ = segment.U16BE();
        going = !segment.Failed();
        break;
      case 0xCC:  // arithmetic-coding conditioning: not decoded
        going = false;
        break;
      case 0xDA:
        // Marker parsing goes on after the scan's entropy-coded data.
        going = DecodeScan(segment, end, end);
        break;
      default:  // application data, comments, frames other than baseline, anything else
        break;
    }
    if (!going) break;
    reader.Seek(end);
  }
  Finish();
}

bool JpgDecoder::ReadFrame(ByteReader& segment) {
  if (segment.Size() < 6) return true;  // too short to say anything: skipped
  // A second frame header would resize a picture that is partly decoded.
  if (frameRead_) return false;
  const uint8_t precision = segment.U8();
  const int32_t height = segment.U16BE();
  const int32_t width = segment.U16BE();
  const int32_t count = segment.U8();
  // Only 8-bit samples are decoded; any other precision is treated like a non-baseline frame.
  if (precision != 8) return true;
  // A header cut short by the end of the file is not taken.
  if (segment.Remaining() < static_cast<size_t>(3 * count)) return false;
  if (static_cast<int64_t>(width) * height > kMaxPixelsPerFileByte * static_cast<int64_t>(bytes_.size())) {
    return false;
  }
  if (!ImageResize(image_, width, height)) return false;
  image_->bitsPerPixel = 24;  // alpha is 0 everywhere and carries nothing
  image_->substitute = false;
  frameRead_ = true;
  width_ = width;
  height_ = height;
  // Greyscale and YCbCr only; the three colour components must be ids 1, 2 and 3.
  if (count != 1 && count != 3) return false;
  for (int32_t i = 0; i < count; ++i) {
    Component& component = components_[i];
    component.id = segment.U8();
    const uint8_t factors = segment.U8();
    component.h = factors >> 4;
    component.v = factors & 15;
    component.quantTable = segment.U8();
    if (segment.Failed() || component.id < 1 || component.id > kMaxComponentId) return false;
    if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4) return false;
    if (component.quantTable > 3) return false;
    if (count == 3 && component.id > 3) return false;
    for (int32_t j = 0; j < i; ++j) {
      if (components_[j].id == component.id) return false;
    }
  }
  componentCount_ = count;
  if (count == 1) {
    // A single component makes one block per MCU whatever its factors say.
    components_[0].h = 1;
    components_[0].v = 1;
  } else {
    // Keep Y, Cb, Cr in id order.
    std::sort(components_, components_ + 3, [](const Component& a, const Component& b) { return a.id < b.id; });
  }
  for (int32_t i = 0; i < count; ++i) {
    maxH_ = std::max(maxH_, components_[i].h);
    maxV_ = std::max(maxV_, components_[i].v);
  }
  mcusWide_ = (width_ + 8 * maxH_ - 1) / (8 * maxH_);
  mcusHigh_ = (height_ + 8 * maxV_ - 1) / (8 * maxV_);
  for (int32_t i = 0; i < count; ++i) {
    Component& component = components_[i];
    component.shiftX = maxH_ / component.h - 1;
    component.shiftY = maxV_ / component.v - 1;
    const int32_t samplesWide = (width_ * component.h + maxH_ - 1) / maxH_;
    const int32_t samplesHigh = (height_ * component.v + maxV_ - 1) / maxV_;
    component.gridWide = (samplesWide + 7) / 8;
    component.gridHigh = (samplesHigh + 7) / 8;
  }
  return true;
}

bool JpgDecoder::ReadHuffmanTables(ByteReader& segment) {
  while (!segment.AtEnd()) {
    const uint8_t info = segment.U8();
    const int32_t number = info & 15;
    const bool isAc = (info & 0x10) != 0;
    uint8_t counts[16];
    segment.Bytes(counts, sizeof counts);
    int32_t total = 0;
    for (uint8_t count : counts) total += count;
    if (number > 3 || total > 256) return false;
    uint8_t symbols[256];
    segment.Bytes(symbols, static_cast<size_t>(total));
    if (segment.Failed()) return false;
    HuffmanTable& table = isAc ? acTables_[number] : dcTables_[number];
    if (table.defined) return false;  // a second definition of the same table
    if (!BuildHuffmanTable(table, counts, symbols, total)) return false;
  }
  return true;
}

bool JpgDecoder::ReadQuantTables(ByteReader& segment) {
  while (!segment.AtEnd()) {
    const uint8_t info = segment.U8();
    const int32_t number = info & 15;
    const int32_t precision = info >> 4;
    if (number > 3 || precision > 1) return false;
    for (int32_t k = 0; k < 64; ++k) quant_[number][k] = precision == 0 ? segment.U8() : segment.U16BE();
    if (segment.Failed()) return false;
    quantDefined_[number] = true;
  }
  return true;
}

bool JpgDecoder::PreparePlanes(bool everyComponent) {
  rowPlanes_ = everyComponent;
  for (int32_t i = 0; i < componentCount_; ++i) {
    Component& component = components_[i];
    component.stride = mcusWide_ * component.h * 8;
    const int64_t rows = static_cast<int64_t>(rowPlanes_ ? 1 : mcusHigh_) * component.v * 8;
    component.plane.assign(static_cast<size_t>(component.stride * rows), 0);
  }
  const size_t offsets = static_cast<size_t>(mcusWide_) * maxH_ * 8;
  offsetRed_.assign(offsets, 0);
  offsetGreen_.assign(offsets, 0);
  offsetBlue_.assign(offsets, 0);
  planesReady_ = true;
  return true;
}

int16_t* JpgDecoder::BlockAt(Component& component, int32_t blockColumn, int32_t blockRow, int32_t mcuRow) {
  const int64_t planeRow = rowPlanes_ ? blockRow - static_cast<int64_t>(mcuRow) * component.v : blockRow;
  return component.plane.data() + planeRow * 8 * component.stride + blockColumn * 8;
}

bool JpgDecoder::DecodeScan(ByteReader& header, size_t dataStart, size_t& next) {
  const int32_t count = header.U8();
  if (count < 1 || count > kMaxScanComponents || !frameRead_ || componentCount_ == 0) return false;
  Component* scan[kMaxScanComponents] = {};
  for (int32_t i = 0; i < count; ++i) {
    const int32_t id = header.U8();
    const uint8_t selectors = header.U8();
    if (header.Failed()) return false;
    Component* component = nullptr;
    for (int32_t j = 0; j < componentCount_; ++j) {
      if (components_[j].id == id) component = &components_[j];
    }
    if (component == nullptr || std::find(scan, scan + i, component) != scan + i) return false;
    component->dcTable = selectors >> 4;
    component->acTable = selectors & 15;
    if (component->dcTable > 3 || component->acTable > 3) return false;
    if (!dcTables_[component->dcTable].defined || !acTables_[component->acTable].defined) return false;
    if (!quantDefined_[component->quantTable]) return false;
    scan[i] = component;
  }
  if (maxH_ > 2 || maxV_ > 2) return false;
  // Row planes hold one scan of every component, after which decoding has ended.
  if (planesReady_ && rowPlanes_) return false;
  if (!planesReady_ && !PreparePlanes(count == componentCount_)) return false;

  const int32_t(*basisRows)[8] = tables_.basis;
  const bool vectorTransform = UseVectorTransform();
  BitReader bits(bytes_.data(), bytes_.size(), dataStart);
  alignas(32) int32_t block[64] = {};
  for (int32_t i = 0; i < count; ++i) scan[i]->prediction = 0;

  // Decodes one block of `component` into the plane at the given block position.
  auto decodeBlock = [&](Component& component, int32_t blockColumn, int32_t blockRow, int32_t mcuRow) {
    BlockShape shape;
    if (!DecodeBlock(bits, dcTables_[component.dcTable], acTables_[component.acTable], quant_[component.quantTable],
                     component.prediction, block, shape)) {
      return false;  // decoding ends: the block buffer is not used again
    }
    int16_t* out = BlockAt(component, blockColumn, blockRow, mcuRow);
    TransformBlock(basisRows, block, shape, vectorTransform, out, component.stride);
    if (gHooks.blockObserver != nullptr) {
      gHooks.blockObserver(block, out, component.stride, gHooks.blockObserverContext);
    }
    for (int32_t i = 0; i < shape.count; ++i) block[shape.places[i]] = 0;
    return true;
  };

  const bool interleaved = count > 1;
  const int64_t units = interleaved ? static_cast<int64_t>(mcusWide_) * mcusHigh_
                                    : static_cast<int64_t>(scan[0]->gridWide) * scan[0]->gridHigh;
  const int32_t unitsWide = interleaved ? mcusWide_ : scan[0]->gridWide;
  const int64_t totalMcus = static_cast<int64_t>(mcusWide_) * mcusHigh_;
  int32_t sinceRestart = 0;
  bool complete = true;
  for (int64_t unit = 0; unit < units; ++unit) {
    if (restartInterval_ > 0 && sinceRestart == restartInterval_) {
      if (!bits.Restart()) {
        complete = false;
        break;
      }
      for (int32_t i = 0; i < count; ++i) scan[i]->prediction = 0;
      sinceRestart = 0;
    }
    const int32_t row = static_cast<int32_t>(unit / unitsWide);
    const int32_t column = static_cast<int32_t>(unit % unitsWide);
    bool ok = true;
    if (interleaved) {
      for (int32_t i = 0; i < count && ok; ++i) {
        Component& component = *scan[i];
        for (int32_t by = 0; by < component.v && ok; ++by) {
          for (int32_t bx = 0; bx < component.h && ok; ++bx) {
            ok = decodeBlock(component, column * component.h + bx, row * component.v + by, row);
          }
        }
      }
    } else {
      // One component: its blocks in raster order over its own grid; in row planes (one-component
      // pictures) a block row is an MCU row.
      ok = decodeBlock(*scan[0], column, row, row);
    }
    if (!ok || bits.Overrun()) {
      complete = false;
      break;
    }
    ++sinceRestart;
    if (interleaved || componentCount_ == 1) {
      // Units are picture MCUs (a one-component picture has one block per MCU).
      for (int32_t i = 0; i < count; ++i) scan[i]->coveredMcus = unit + 1;
    } else if (column == unitsWide - 1) {
      // One component of several: whole MCU rows are covered once all their block rows are in.
      Component& component = *scan[0];
      const int32_t blockRows = row + 1;
      component.coveredMcus =
          blockRows == component.gridHigh ? totalMcus : static_cast<int64_t>(blockRows / component.v) * mcusWide_;
    }
    if (rowPlanes_ && column == unitsWide - 1) ConvertMcus(convertedMcus_, scan[0]->coveredMcus);
  }
  if (!complete && rowPlanes_) {
    // The MCUs decoded in the unfinished row are still in the planes.
    ConvertMcus(convertedMcus_, scan[0]->coveredMcus);
  }
  next = bits.Position();
  // A scan of every component completes the picture; with whole-picture planes further scans may
  // bring the other components.
  return complete && !rowPlanes_;
}

void JpgDecoder::ConvertRow(int32_t y, int32_t x0, int32_t x1, int32_t mcuRow) {
  uint32_t* out = image_->pixels.data() + static_cast<size_t>(y) * width_;
  auto sampleRow = [&](const Component& component) {
    int64_t row = y >> component.shiftY;
    if (rowPlanes_) row -= static_cast<int64_t>(mcuRow) * component.v * 8;
    return component.plane.data() + row * component.stride;
  };
  const Component& lumaComponent = components_[0];
  const int16_t* luma = sampleRow(lumaComponent);
  if (componentCount_ == 1) {
    ConvertGrey(luma, out, x0, x1);
    return;
  }
  const Component& cbComponent = components_[1];
  const Component& crComponent = components_[2];
  const int16_t* cb = sampleRow(cbComponent);
  const int16_t* cr = sampleRow(crComponent);
  const int32_t shift = cbComponent.shiftX;
  if (lumaComponent.shiftX == 0 && crComponent.shiftX == shift && crComponent.shiftY == cbComponent.shiftY) {
    // Rows that share a chroma row (vertical subsampling) share its offsets.
    const int64_t chromaRow = y >> cbComponent.shiftY;
    if (chromaRow != offsetsRow_ || x0 != offsetsX0_ || x1 != offsetsX1_) {
      offsetsRow_ = chromaRow;
      offsetsX0_ = x0;
      offsetsX1_ = x1;
      offsetsExact_ = true;
      for (int32_t c = x0 >> shift; c <= (x1 - 1) >> shift && offsetsExact_; ++c) {
        offsetsExact_ = ChromaOffsets(tables_, cb[c], cr[c], offsetRed_[c], offsetGreen_[c], offsetBlue_[c]);
      }
    }
    if (offsetsExact_) {
      if (shift == 0) {
        AddChromaOffsets<0>(luma, offsetRed_.data(), offsetGreen_.data(), offsetBlue_.data(), out, x0, x1);
      } else {
        AddChromaOffsets<1>(luma, offsetRed_.data(), offsetGreen_.data(), offsetBlue_.data(), out, x0, x1);
      }
      return;
    }
  }
  const int32_t shiftY = lumaComponent.shiftX;
  const int32_t shiftCr = crComponent.shiftX;
  for (int32_t x = x0; x < x1; ++x) {
    out[x] = ConvertPixel(tables_, luma[x >> shiftY], cb[x >> shift], cr[x >> shiftCr]);
  }
}

// Converts MCUs from..to-1 (picture order) into pixels; parts of MCUs beyond the picture are dropped.
void JpgDecoder::ConvertMcus(int64_t from, int64_t to) {
  if (to <= from) return;
  const int32_t firstRow = static_cast<int32_t>(from / mcusWide_);
  const int32_t lastRow = static_cast<int32_t>((to - 1) / mcusWide_);
  for (int32_t mcuRow = firstRow; mcuRow <= lastRow; ++mcuRow) {
    const int32_t firstColumn = mcuRow == firstRow ? static_cast<int32_t>(from % mcusWide_) : 0;
    const int32_t endColumn = mcuRow == lastRow ? static_cast<int32_t>((to - 1) % mcusWide_) + 1 : mcusWide_;
    const int32_t x0 = firstColumn * 8 * maxH_;
    const int32_t x1 = std::min(width_, endColumn * 8 * maxH_);
    const int32_t y0 = mcuRow * 8 * maxV_;
    const int32_t y1 = std::min(height_, y0 + 8 * maxV_);
    for (int32_t y = y0; y < y1; ++y) ConvertRow(y, x0, x1, mcuRow);
  }
  convertedMcus_ = to;
}

void JpgDecoder::Finish() {
  if (!planesReady_ || rowPlanes_) return;
  // Whole-picture planes: pixels exist where every component has been decoded.
  int64_t covered = components_[0].coveredMcus;
  for (int32_t i = 1; i < componentCount_; ++i) covered = std::min(covered, components_[i].coveredMcus);
  ConvertMcus(convertedMcus_, covered);
}

}  // namespace

// ------------------------------------------------------------------------------------------------
// Unit interface

void ImageJpgStart() {
  gHooks = jpgHooks{};
  LogVersion("fwkImageJPG - Version Alpha.0");
  Tables();
}

void ImageJpgEnd() {}

void ImageLoadJpg(const std::string& fileName, imageData* image) {
  std::vector<uint8_t> bytes;
  if (image == nullptr || !DataFileReadAll(fileName, bytes)) return;
  ImageDecodeJpg(bytes, image);
}

void ImageDecodeJpg(const std::vector<uint8_t>& bytes, imageData* image) {
  if (image == nullptr) return;
  JpgDecoder decoder(bytes, image);
  decoder.Decode();
}

int32_t JpgBasisValue(int32_t frequency, int32_t sample) {
  if (frequency < 0 || frequency > 7 || sample < 0 || sample > 7) return 0;
  return 10 * Tables().basis[frequency][sample];
}

void JpgInverseTransform(const int32_t coefficients[64], int16_t* samples, ptrdiff_t stride) {
  TransformBlock(Tables().basis, coefficients, ShapeOf(coefficients), UseVectorTransform(), samples, stride);
}

void JpgForcePortableTransform(bool portable) { gHooks.portableTransformForced = portable; }

bool JpgVectorTransformAvailable() {
  const bool forced = gHooks.portableTransformForced;
  gHooks.portableTransformForced = false;
  const bool available = UseVectorTransform();
  gHooks.portableTransformForced = forced;
  return available;
}

void JpgSetBlockObserver(JpgBlockObserver observer, void* context) {
  gHooks.blockObserver = observer;
  gHooks.blockObserverContext = context;
}
