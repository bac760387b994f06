#include "synth.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <utility>

#include "ogg_encode.h"

namespace synth {

namespace {

// The whole cycles taken away: 0 <= result < 1, for negative phases too.
double Fraction(double cycles) {
  const double whole = cycles - static_cast<double>(static_cast<int64_t>(cycles));
  return whole < 0 ? whole + 1 : whole;
}

}  // namespace

double Sine(double cycles) {
  constexpr int kSize = 4096;
  static const std::vector<double> table = [] {
    std::vector<double> t(kSize + 1);
    for (int i = 0; i <= kSize; ++i) t[static_cast<size_t>(i)] = std::sin(2 * kPi * i / kSize);
    return t;
  }();
  const double x = Fraction(cycles) * kSize;
  const int i = static_cast<int>(x);
  const double f = x - i;
  return table[static_cast<size_t>(i)] * (1 - f) + table[static_cast<size_t>(i) + 1] * f;
}

const std::vector<double>& WaveTable(const std::vector<double>& amplitudes, double frequency) {
  constexpr int kSize = 2048;
  static std::map<std::pair<const void*, size_t>, std::vector<double>> tables;
  size_t count = 0;
  while (count < amplitudes.size() && static_cast<double>(count + 1) * frequency < 16000) ++count;
  std::vector<double>& table = tables[{&amplitudes, count}];
  if (table.empty()) {
    table.resize(kSize + 1);
    for (int i = 0; i <= kSize; ++i) {
      for (size_t k = 0; k < count; ++k) {
        table[static_cast<size_t>(i)] += amplitudes[k] * std::sin(2 * kPi * static_cast<double>(k + 1) * i / kSize);
      }
    }
  }
  return table;
}

double Lookup(const std::vector<double>& table, double cycles) {
  const double x = Fraction(cycles) * static_cast<double>(table.size() - 1);
  const size_t i = static_cast<size_t>(x);
  const double f = x - static_cast<double>(i);
  return table[i] * (1 - f) + table[i + 1] * f;
}

std::vector<double> SawAmplitudes(int count) {
  std::vector<double> a;
  for (int k = 1; k <= count; ++k) a.push_back(1.0 / k);
  return a;
}

std::vector<double> SquareAmplitudes(int count) {
  std::vector<double> a;
  for (int k = 1; k <= count; ++k) a.push_back(k % 2 == 1 ? 1.0 / k : 0.0);
  return a;
}

onePole::onePole(double cutoff) : a(1 - std::exp(-2 * kPi * cutoff / kRate)) {}

void stateFilter::Run(double x, double cutoff) {
  const double f = 2 * Sine(std::min(cutoff, kRate / 6.0) / (2.0 * kRate));
  low += f * band;
  const double high = x - low - q * band;
  band += f * high;
}

double Release(double t, double held, double seconds) { return t <= held ? 1.0 : std::exp(-(t - held) / seconds); }

std::vector<int16_t> ToSamples(const std::vector<double>& signal, double scale) {
  std::vector<int16_t> out(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) {
    out[i] = static_cast<int16_t>(std::lround(std::clamp(signal[i] * scale, -1.0, 1.0) * 32767));
  }
  return out;
}

bool WriteOgg(const std::string& path, const std::vector<int16_t>& samples) {
  const std::string file = OggEncode(samples, kRate);
  std::ofstream out(path, std::ios::binary);
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
  return !file.empty() && static_cast<bool>(out);
}

}  // namespace synth
