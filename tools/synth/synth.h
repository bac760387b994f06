// The content tools' synthesizer pieces: oscillators, filters, envelopes and the writing of
// mono Ogg Vorbis files at 44,100 Hz, shared by sfxgen and musicgen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace synth {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// sin(2 pi cycles) from a table, for the oscillators that run tens of millions of times.
double Sine(double cycles);

// One cycle of a band-limited wave with the given harmonics' amplitudes (first = fundamental),
// read with Lookup. Harmonics that would pass 16 kHz at this frequency are left out, so nothing
// aliases; a table is made once per set of amplitudes and count of harmonics, so `amplitudes`
// must outlive the program's use of it (a static).
const std::vector<double>& WaveTable(const std::vector<double>& amplitudes, double frequency);
double Lookup(const std::vector<double>& table, double cycles);
// 1/k for every harmonic, and 1/k for the odd ones only.
std::vector<double> SawAmplitudes(int count);
std::vector<double> SquareAmplitudes(int count);

// One-pole low-pass: a fraction of the way to the input each sample.
struct onePole {
  double a = 0, y = 0;
  explicit onePole(double cutoff);
  double operator()(double x) { return y += a * (x - y); }
};

// Chamberlin state-variable filter: low-pass and band-pass outputs, the cutoff settable each
// sample (held below a sixth of the rate, where the filter stays stable). Damping 2 is no
// resonance; smaller rings.
struct stateFilter {
  double low = 0, band = 0;
  double q = 1.0;
  explicit stateFilter(double damping = 1.0) : q(damping) {}
  void Run(double x, double cutoff);
};

// A linear rise to 1 over `seconds`.
inline double Attack(double t, double seconds) { return t >= seconds ? 1.0 : t / seconds; }
// 1 while held, then an exponential fall with the given time constant.
double Release(double t, double held, double seconds);

// The signal times `scale` as 16-bit samples.
std::vector<int16_t> ToSamples(const std::vector<double>& signal, double scale);
// The samples encoded as a mono Ogg Vorbis file at kRate and written to path; false when the
// encoder or the file fails.
bool WriteOgg(const std::string& path, const std::vector<int16_t>& samples);

}  // namespace synth
