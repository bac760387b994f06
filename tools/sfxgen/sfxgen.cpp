// sfxgen: synthesizes the game's sound effects and writes them as mono Ogg Vorbis files.
//
//   sfxgen FOLDER      writes FOLDER/Spray.ogg (a hit: a hiss of water with a drop's plip) and
//                      FOLDER/Crumbling.ogg (a building sinking: a rumble with cracks of stone)
//
// Shaped noise and envelopes, seeded, so every build makes the same sounds.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ogg_encode.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// One-pole low-pass: a fraction of the way to the input each sample.
struct lowPass {
  double a = 0, y = 0;
  lowPass(double cutoff) : a(1 - std::exp(-2 * kPi * cutoff / kRate)) {}
  double operator()(double x) { return y += a * (x - y); }
};

std::vector<int16_t> ToSamples(const std::vector<double>& signal) {
  double peak = 1e-9;
  for (double v : signal) peak = std::max(peak, std::abs(v));
  std::vector<int16_t> out(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) out[i] = static_cast<int16_t>(std::lround(signal[i] / peak * 0.85 * 32767));
  return out;
}

std::vector<double> Spray() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-1, 1);
  const int length = static_cast<int>(0.45 * kRate);
  std::vector<double> out(static_cast<size_t>(length));
  lowPass hissLow(6000), hissHigh(1500), plipTone(3000);
  double phase = 0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    // The hiss: band-limited noise, a quick attack, a decay with a little flutter.
    const double n = noise(random);
    const double band = hissLow(n) - hissHigh(n);
    const double hiss = band * std::min(1.0, t / 0.008) * std::exp(-t / 0.11) * (0.85 + 0.15 * std::sin(2 * kPi * 31 * t));
    // The plip: a short sine falling from 1,300 to 450 Hz.
    const double frequency = 450 + 850 * std::exp(-t / 0.025);
    phase += 2 * kPi * frequency / kRate;
    const double plip = std::sin(phase) * std::min(1.0, t / 0.002) * std::exp(-t / 0.04);
    out[static_cast<size_t>(i)] = 0.8 * hiss + 0.55 * plipTone(plip);
  }
  return out;
}

std::vector<double> Crumbling() {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> noise(-1, 1);
  std::uniform_real_distribution<double> chance(0, 1);
  const int length = static_cast<int>(1.6 * kRate);
  std::vector<double> out(static_cast<size_t>(length));
  lowPass rumbleLow(180), rumbleLower(60), crackLow(2500);
  double brown = 0, crack = 0, crackDecay = 0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    brown = std::clamp(brown + noise(random) * 0.05, -1.0, 1.0) * 0.999;
    const double rumble = rumbleLow(brown) - 0.5 * rumbleLower(brown);
    // Cracks of stone: short noise bursts at random moments, denser early on.
    if (chance(random) < 0.0009 * (1.4 - t / 1.6)) {
      crack = 0.6 + 0.4 * chance(random);
      crackDecay = std::exp(-1.0 / (kRate * (0.01 + 0.03 * chance(random))));
    }
    crack *= crackDecay;
    const double cracks = crackLow(noise(random)) * crack;
    const double envelope = std::min(1.0, t / 0.05) * (t < 1.2 ? 1.0 : std::max(0.0, 1 - (t - 1.2) / 0.4));
    out[static_cast<size_t>(i)] = envelope * (3.0 * rumble + 0.7 * cracks);
  }
  return out;
}

bool Save(const std::string& path, const std::vector<double>& signal) {
  const std::string file = OggEncode(ToSamples(signal), kRate);
  std::ofstream out(path, std::ios::binary);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  return !file.empty() && static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sfxgen FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!Save(folder + "Spray.ogg", Spray()) || !Save(folder + "Crumbling.ogg", Crumbling())) {
    std::fprintf(stderr, "sfxgen: cannot write the sounds into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
