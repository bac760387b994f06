// Ogg Vorbis encoding of 16-bit samples with libvorbisenc, for the content tools and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole Ogg Vorbis file of the interleaved samples (variable bit rate, quality -0.1 ... 1);
// empty when the encoder refuses the rate or channel count.
std::string OggEncode(const std::vector<int16_t>& samples, int rate, int channels = 1, float quality = 0.6f);
