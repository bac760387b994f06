// sfxgen: synthesizes the game's sound effects and writes them as mono Ogg Vorbis files.
//
//   sfxgen FOLDER      writes into FOLDER the arcade's sounds:
//                        Spray.ogg        a hit: a hiss of water with a drop's plip
//                        Crumbling.ogg    a building sinking: a rumble with cracks of stone
//                        Shoot.ogg        a drop leaving the nozzle: a soft puff and a bloop
//                      the interface's:
//                        Click.ogg        a button pressed: a soft wooden "plok"
//                        Hover.ogg        the pointer entering a button: a quiet tick
//                        Type.ogg         a key of the name entry: a typewriter's click
//                        Tally.ogg        the score counting up: a coin blip
//                      and the events':
//                        Level Start.ogg  a rising chime over a shimmer of water
//                        Level End.ogg    a short bright fanfare
//                        Game Over.ogg    a falling phrase in a minor key
//
// Shaped noise, oscillators and envelopes, seeded, so every build makes the same sounds. Each
// sound is scaled to its own peak: the ones heard often (Hover, Tally, Type, Shoot) quieter.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "synth.h"

namespace {

using namespace synth;

// The signal scaled so its peak is `peak` of full scale.
std::vector<int16_t> ScaledToPeak(const std::vector<double>& signal, double peak) {
  double high = 1e-9;
  for (double v : signal) high = std::max(high, std::abs(v));
  return ToSamples(signal, peak / high);
}

std::vector<double> Silence(double seconds) { return std::vector<double>(static_cast<size_t>(seconds * kRate)); }

// The last `seconds` of the sound fade linearly to silence.
void FadeEnd(std::vector<double>& out, double seconds) {
  const double length = static_cast<double>(out.size()) / kRate;
  for (size_t i = 0; i < out.size(); ++i) out[i] *= std::min(1.0, (length - static_cast<double>(i) / kRate) / seconds);
}

std::vector<double> Spray() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-1, 1);
  const int length = static_cast<int>(0.45 * kRate);
  std::vector<double> out(static_cast<size_t>(length));
  onePole hissLow(6000), hissHigh(1500), plipTone(3000);
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
  onePole rumbleLow(180), rumbleLower(60), crackLow(2500);
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

// ---- interface and event sounds -------------------------------------------------------------

// A button pressed: a sine that drops from 1,100 to 520 Hz as it dies away, with a hollow
// partial above it and a muffled tap at the start, like a drop on wood.
std::vector<double> Click() {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> noise(-1, 1);
  std::vector<double> out = Silence(0.15);
  onePole tap(1800);
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += (520 + 580 * std::exp(-t / 0.012)) / kRate;
    const double body = Sine(phase) * std::exp(-t / 0.028) + 0.25 * Sine(2.7 * phase) * std::exp(-t / 0.012);
    const double knock = tap(noise(random)) * std::exp(-t / 0.003);
    out[i] = (body + 1.5 * knock) * Attack(t, 0.0015) * std::min(1.0, (0.15 - t) / 0.02);
  }
  return out;
}

// The pointer over a button: a short muted tick, high but rounded.
std::vector<double> Hover() {
  std::vector<double> out = Silence(0.045);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double tick = Sine(1900 * t) * std::exp(-t / 0.006) + 0.4 * Sine(3100 * t) * std::exp(-t / 0.003);
    out[i] = tick * Attack(t, 0.001) * std::min(1.0, (0.045 - t) / 0.01);
  }
  return out;
}

// A drop fired: a puff of dark noise and a bubble's bloop that rises from 260 to 620 Hz. It is
// heard at every shot, so everything is low-passed well below the hiss range.
std::vector<double> Shoot() {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> noise(-1, 1);
  std::vector<double> out = Silence(0.2);
  stateFilter puff(1.2);
  onePole soften(2500);
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    puff.Run(noise(random), 900 + 1200 * std::exp(-t / 0.02));
    const double air = puff.low * Attack(t, 0.004) * std::exp(-t / 0.035);
    phase += (620 - 360 * std::exp(-t / 0.03)) / kRate;
    const double bloop = Sine(phase) * Attack(t, 0.006) * std::exp(-t / 0.045);
    out[i] = soften(0.9 * air + 0.8 * bloop) * std::min(1.0, (0.2 - t) / 0.03);
  }
  return out;
}

// A key of the name entry: the sharp strike of a type bar, the key's wooden body and a low thud.
std::vector<double> Type() {
  std::mt19937 random(13);
  std::uniform_real_distribution<double> noise(-1, 1);
  std::vector<double> out = Silence(0.07);
  stateFilter body(0.25);
  onePole strikeLow(7000), strikeHigh(1500);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise(random);
    const double strike = (strikeLow(n) - strikeHigh(n)) * std::exp(-t / 0.0015);
    body.Run(strike, 2300);
    const double thud = Sine(170 * t) * std::exp(-t / 0.012);
    out[i] = (0.6 * strike + 0.7 * body.band + 0.12 * thud) * Attack(t, 0.0004) * std::min(1.0, (0.07 - t) / 0.015);
  }
  return out;
}

// A soft square, four bright harmonics: the tone of the coin blip and the fanfare.
const std::vector<double>& SoftSquare() {
  static const std::vector<double> amplitudes = {1.0, 0.0, 0.3, 0.0, 0.12, 0.0, 0.05};
  return amplitudes;
}

// The score counting: a coin's two quick notes, B5 then E6.
std::vector<double> Tally() {
  std::vector<double> out = Silence(0.085);
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double frequency = t < 0.03 ? 987.8 : 1318.5;
    phase += frequency / kRate;
    const double level = t < 0.03 ? 1.0 : std::exp(-(t - 0.03) / 0.015);
    out[i] = Lookup(WaveTable(SoftSquare(), frequency), phase) * level * Attack(t, 0.002) *
             std::min(1.0, (0.085 - t) / 0.01);
  }
  return out;
}

// A struck bell-like tone added into out at `start`: a sine with two inharmonic partials that
// fade faster (the ratios of a small glass bell).
void AddChime(std::vector<double>& out, double start, double frequency, double level, double decay) {
  const size_t from = static_cast<size_t>(start * kRate);
  for (size_t i = from; i < out.size(); ++i) {
    const double t = static_cast<double>(i - from) / kRate;
    const double tone = Sine(frequency * t) * std::exp(-t / decay) + 0.35 * Sine(2.76 * frequency * t) * std::exp(-t / (decay * 0.35)) +
                        0.15 * Sine(5.4 * frequency * t) * std::exp(-t / (decay * 0.15));
    out[i] += level * tone * Attack(t, 0.002);
  }
}

// A level begins: C5, E5, G5 and C6 rising, over a shimmer of little water drops.
std::vector<double> LevelStart() {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> chance(0, 1);
  std::vector<double> out = Silence(1.25);
  const double notes[4] = {523.25, 659.25, 783.99, 1046.5};
  for (int n = 0; n < 4; ++n) AddChime(out, 0.11 * n, notes[n], n == 3 ? 1.0 : 0.8, n == 3 ? 0.45 : 0.3);
  // The shimmer: short plinks of random pitch (1.8 to 4 kHz) that rise a little, thickest in the
  // middle of the sound.
  for (int drop = 0; drop < 26; ++drop) {
    const double start = 0.05 + 0.9 * chance(random);
    const double pitch = 1800 + 2200 * chance(random);
    const size_t from = static_cast<size_t>(start * kRate);
    double phase = 0;
    for (size_t i = from; i < out.size() && i < from + kRate / 20; ++i) {
      const double t = static_cast<double>(i - from) / kRate;
      phase += pitch * (1 + 3 * t) / kRate;
      out[i] += 0.08 * Sine(phase) * std::exp(-t / 0.012) * Attack(t, 0.001) * std::sin(kPi * start / 1.0);
    }
  }
  FadeEnd(out, 0.25);
  return out;
}

// A brass-like voice: the soft square whose upper harmonics swell in with the attack, a little
// vibrato on long notes, added into out from `start` for `held` seconds.
void AddHorn(std::vector<double>& out, double start, double held, double frequency, double level) {
  static const std::vector<double> bright = SawAmplitudes(10);
  const std::vector<double>& wave = WaveTable(bright, frequency);
  stateFilter filter(1.2);
  const size_t from = static_cast<size_t>(start * kRate);
  double phase = 0;
  for (size_t i = from; i < out.size(); ++i) {
    const double t = static_cast<double>(i - from) / kRate;
    if (t > held + 0.5) break;
    phase += frequency * (1 + 0.004 * Attack(std::max(0.0, t - 0.15), 0.2) * Sine(5.5 * t)) / kRate;
    filter.Run(Lookup(wave, phase), 800 + 2600 * Attack(t, 0.03) * (0.6 + 0.4 * std::exp(-t / 0.2)));
    out[i] += level * filter.low * Attack(t, 0.012) * Release(t, held, 0.12);
  }
}

// A level cleared: G4, C5, E5 in quick steps, then a held C major chord that swells and fades.
std::vector<double> LevelEnd() {
  std::vector<double> out = Silence(2.0);
  AddHorn(out, 0.00, 0.09, 392.0, 0.8);
  AddHorn(out, 0.11, 0.09, 523.25, 0.8);
  AddHorn(out, 0.22, 0.09, 659.25, 0.85);
  AddHorn(out, 0.34, 1.15, 783.99, 1.0);
  AddHorn(out, 0.34, 1.15, 523.25, 0.6);
  AddHorn(out, 0.34, 1.15, 329.63, 0.55);
  AddChime(out, 0.34, 1567.98, 0.25, 0.6);
  FadeEnd(out, 0.3);
  return out;
}

// The game lost: E5, D5, C5, B4 falling slowly in A minor onto a low A that sinks a little in
// pitch, over a dark A minor chord.
std::vector<double> GameOver() {
  std::vector<double> out = Silence(2.5);
  const double notes[4] = {659.25, 587.33, 523.25, 493.88};
  auto addTone = [&out](double start, double held, double frequency, double level, double sag) {
    const size_t from = static_cast<size_t>(start * kRate);
    double phase = 0;
    for (size_t i = from; i < out.size(); ++i) {
      const double t = static_cast<double>(i - from) / kRate;
      phase += frequency * (1 - sag * Attack(t, held)) / kRate;
      const double tone = Sine(phase) + 0.3 * Sine(2 * phase) + 0.1 * Sine(3 * phase);
      out[i] += level * tone * Attack(t, 0.04) * Release(t, held, 0.15);
    }
  };
  for (int n = 0; n < 4; ++n) addTone(0.32 * n, 0.28, notes[n], 0.8, 0.0);
  addTone(1.28, 0.8, 440.0, 0.9, 0.03);
  for (double f : {220.0, 261.63, 329.63}) addTone(1.28, 0.8, f, 0.3, 0.0);
  FadeEnd(out, 0.4);
  return out;
}

struct sound {
  const char* file;
  std::vector<double> (*make)();
  double peak;
};

const sound kSounds[] = {
    {"Spray.ogg", Spray, 0.85},        {"Crumbling.ogg", Crumbling, 0.85}, {"Shoot.ogg", Shoot, 0.5},
    {"Click.ogg", Click, 0.6},         {"Hover.ogg", Hover, 0.25},         {"Type.ogg", Type, 0.55},
    {"Tally.ogg", Tally, 0.25},        {"Level Start.ogg", LevelStart, 0.7}, {"Level End.ogg", LevelEnd, 0.7},
    {"Game Over.ogg", GameOver, 0.7},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sfxgen FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const sound& effect : kSounds) {
    if (!WriteOgg(folder + effect.file, ScaledToPeak(effect.make(), effect.peak))) {
      std::fprintf(stderr, "sfxgen: cannot write %s into %s\n", effect.file, folder.c_str());
      return 1;
    }
  }
  return 0;
}
