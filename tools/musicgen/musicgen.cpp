// musicgen: composes the game's two music loops from patterns written below, renders them with a
// small synthesizer and writes them as mono Ogg Vorbis files.
//
//   musicgen FOLDER    writes FOLDER/Menu.ogg (the menu theme: A minor, 75 bpm, 16 bars) and
//                      FOLDER/Game.ogg (the game theme: E minor, 135 bpm, 20 bars)
//
// The game plays each piece as a looping sound that starts again at sample 0, so a piece is
// rendered as a ring: its length is a whole number of bars, every note's tail that runs past the
// end is added at the start, and the echo and reverb run round the ring until they settle. The
// last sample then leads into the first as any two neighbours do. Seeded, so every build makes
// the same music.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "synth.h"

namespace {

using namespace synth;

// ---- instruments ------------------------------------------------------------------------------

// Drum sounds take a pseudo-pitch below zero in the patterns.
constexpr int kKick = -1, kSnare = -2, kHat = -3, kOpenHat = -4, kShaker = -5;

enum class voice { pad, harp, pluck, flute, bell, softBass, drivenBass, lead, drums };

// One note of an instrument: the samples from its start, tail included.
std::vector<double> RenderNote(voice kind, int key, double held, double velocity, std::mt19937& random) {
  std::uniform_real_distribution<double> noise(-1, 1);
  const double frequency = 440.0 * std::pow(2.0, (key - 69) / 12.0);
  auto sized = [](double seconds) { return std::vector<double>(static_cast<size_t>(seconds * kRate)); };
  std::vector<double> out;
  switch (kind) {
    case voice::pad: {
      // Three slightly detuned saws, darkened by a slowly breathing low-pass.
      static const std::vector<double> saw = SawAmplitudes(12);
      out = sized(held + 1.6);
      const std::vector<double>& wave = WaveTable(saw, frequency);
      stateFilter filter(1.3);
      const double detune[3] = {0.996, 1.0, 1.0045};
      double phase[3] = {0.0, 0.33, 0.71};
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        double x = 0;
        for (int v = 0; v < 3; ++v) {
          phase[v] += frequency * detune[v] / kRate;
          x += Lookup(wave, phase[v]);
        }
        filter.Run(x, 700 + 350 * Sine(0.15 * t) + 250 * Attack(t, 0.8));
        out[i] = filter.low * Attack(t, 0.7) * Release(t, held, 0.45) * 0.22;
      }
      break;
    }
    case voice::harp:
    case voice::pluck: {
      // Partials that fade faster the higher they are; the pluck is brighter and shorter.
      const bool harp = kind == voice::harp;
      const double ring = harp ? 2.2 : 0.7;
      out = sized(std::max(held, ring) + 0.3);
      const double scale = std::sqrt(frequency / 440.0);
      for (int k = 1; k <= 10 && k * frequency < 15000; ++k) {
        const double amplitude = std::pow(k, harp ? -1.4 : -1.0) * (k == 1 ? 1.0 : 0.8);
        const double decay = (harp ? 1.4 + 0.9 * k : 4.0 + 2.5 * k) * scale;
        const double partial = frequency * k * std::sqrt(1 + 0.0002 * k * k);
        // A decaying sine by recursion: each sample from the two before it, so a partial costs a
        // few multiplications a sample; it stops once it has fallen below hearing.
        const double fall = std::exp(-decay / kRate);
        const double turn = 2 * std::cos(2 * kPi * partial / kRate) * fall;
        double previous = -amplitude / fall * std::sin(2 * kPi * partial / kRate), current = 0;
        for (size_t i = 0; i < out.size() && std::abs(previous) + std::abs(current) > 1e-6; ++i) {
          out[i] += current;
          const double next = turn * current - fall * fall * previous;
          previous = current;
          current = next;
        }
      }
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        out[i] *= Attack(t, 0.003) * Release(t, std::max(held, ring), 0.08) * 0.5;
      }
      break;
    }
    case voice::flute: {
      // A sine with a little second and third harmonic, breath in the attack and a vibrato
      // that comes in after the note has settled.
      out = sized(held + 0.5);
      stateFilter breath(0.4);
      double phase = 0;
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double vibrato = 1 + 0.004 * Attack(std::max(0.0, t - 0.25), 0.4) * Sine(5.2 * t);
        phase += frequency * vibrato / kRate;
        breath.Run(noise(random), frequency * 2);
        const double tone = Sine(phase) + 0.22 * Sine(2 * phase + 0.1) + 0.07 * Sine(3 * phase);
        const double air = breath.band * (0.05 + 0.25 * std::exp(-t / 0.06));
        out[i] = (tone + air) * Attack(t, 0.07) * Release(t, held, 0.12) * 0.42;
      }
      break;
    }
    case voice::bell: {
      // Two-operator FM at a ratio of 3.5: a glassy bell whose brightness fades first.
      out = sized(3.0);
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double index = 1.6 * std::exp(-t / 0.5);
        const double modulator = index * Sine(3.5 * frequency * t);
        out[i] = Sine(frequency * t + modulator / (2 * kPi)) * Attack(t, 0.002) * std::exp(-t / 0.9) * 0.35;
      }
      break;
    }
    case voice::softBass: {
      out = sized(held + 0.4);
      static const std::vector<double> round = {1.0, 0.3, 0.1, 0.04};
      const std::vector<double>& wave = WaveTable(round, frequency);
      double phase = 0;
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += frequency / kRate;
        out[i] = Lookup(wave, phase) * Attack(t, 0.03) * Release(t, held, 0.12) * 0.6;
      }
      break;
    }
    case voice::drivenBass: {
      // A saw through a resonant low-pass that closes quickly after each pluck, on a sine sub.
      static const std::vector<double> saw = SawAmplitudes(24);
      out = sized(held + 0.15);
      const std::vector<double>& wave = WaveTable(saw, frequency);
      stateFilter filter(0.7);
      double phase = 0;
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += frequency / kRate;
        filter.Run(Lookup(wave, phase), 180 + 1500 * std::exp(-t / 0.07));
        const double sub = Sine(phase);
        out[i] = (0.5 * filter.low + 0.6 * sub) * Attack(t, 0.003) * Release(t, held * 0.9, 0.03) * 0.55;
      }
      break;
    }
    case voice::lead: {
      // Two detuned soft squares through a low-pass that opens on the attack, with vibrato.
      static const std::vector<double> square = SquareAmplitudes(15);
      out = sized(held + 0.3);
      const std::vector<double>& wave = WaveTable(square, frequency);
      stateFilter filter(1.0);
      double phase[2] = {0.0, 0.5};
      for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double vibrato = 1 + 0.005 * Attack(std::max(0.0, t - 0.2), 0.3) * Sine(5.8 * t);
        phase[0] += frequency * vibrato * 0.997 / kRate;
        phase[1] += frequency * vibrato * 1.003 / kRate;
        filter.Run(Lookup(wave, phase[0]) + Lookup(wave, phase[1]),
                   1800 + 2200 * std::exp(-t / 0.12));
        out[i] = filter.low * Attack(t, 0.008) * Release(t, held, 0.07) * 0.3;
      }
      break;
    }
    case voice::drums: {
      if (key == kKick) {
        out = sized(0.4);
        double phase = 0;
        for (size_t i = 0; i < out.size(); ++i) {
          const double t = static_cast<double>(i) / kRate;
          phase += (48 + 110 * std::exp(-t / 0.03)) / kRate;
          const double click = noise(random) * std::exp(-t / 0.002) * 0.3;
          out[i] = (Sine(phase) * std::exp(-t / 0.18) + click) * Attack(t, 0.001);
        }
      } else if (key == kSnare) {
        out = sized(0.35);
        stateFilter body(0.9);
        double phase = 0;
        for (size_t i = 0; i < out.size(); ++i) {
          const double t = static_cast<double>(i) / kRate;
          phase += (185 + 40 * std::exp(-t / 0.02)) / kRate;
          body.Run(noise(random), 2600);
          out[i] = (0.9 * body.band * std::exp(-t / 0.08) + 0.45 * Sine(phase) * std::exp(-t / 0.05)) *
                   Attack(t, 0.001) * 0.8;
        }
      } else {
        // Hats and shaker: noise with its low part taken away, short or ringing.
        const double decay = key == kOpenHat ? 0.14 : key == kShaker ? 0.035 : 0.022;
        out = sized(decay * 6);
        onePole below(key == kShaker ? 3000 : 6000);
        onePole above(key == kShaker ? 9000 : 14000);
        for (size_t i = 0; i < out.size(); ++i) {
          const double t = static_cast<double>(i) / kRate;
          const double n = noise(random);
          out[i] = (above(n) - below(n)) * std::exp(-t / decay) * Attack(t, key == kShaker ? 0.012 : 0.001) * 0.9;
        }
      }
      break;
    }
  }
  for (double& v : out) v *= velocity;
  return out;
}

// ---- patterns ---------------------------------------------------------------------------------

// A pattern is a text of notes: "NAMES:BEATS" with NAMES one or more notes joined by "+" (a
// chord), each a pitch like "A4", "C#5", "Bb3", or a drum: k (kick), s (snare), h (hat),
// o (open hat), z (shaker); "r" is a rest. A "!" after the names or the length plays the notes
// loud, a "?" soft.
struct note {
  double beat = 0;
  double beats = 0;
  int key = 0;
  double velocity = 0.8;
};

bool ParseKey(const std::string& name, int& key) {
  static const std::map<char, int> drums = {{'k', kKick}, {'s', kSnare}, {'h', kHat}, {'o', kOpenHat}, {'z', kShaker}};
  if (name.size() == 1 && drums.count(name[0]) != 0) {
    key = drums.at(name[0]);
    return true;
  }
  static const std::string letters = "C D EF G A B";
  const size_t letter = name.empty() ? std::string::npos : letters.find(name[0]);
  if (letter == std::string::npos || name[0] == ' ') return false;
  size_t at = 1;
  int semitone = static_cast<int>(letter);
  if (at < name.size() && name[at] == '#') ++semitone, ++at;
  else if (at < name.size() && name[at] == 'b') --semitone, ++at;
  if (at + 1 != name.size() || name[at] < '0' || name[at] > '8') return false;
  key = 12 * (name[at] - '0' + 1) + semitone;
  return true;
}

// The notes of a pattern text placed from `start` (in beats); the pattern's length in beats, or
// -1 (reported) when a note cannot be read.
double ParsePattern(const std::string& text, double start, std::vector<note>& notes) {
  std::istringstream words(text);
  std::string word;
  double beat = start;
  while (words >> word) {
    double velocity = 0.8;
    if (word.back() == '!') velocity = 1.0, word.pop_back();
    else if (word.back() == '?') velocity = 0.55, word.pop_back();
    const size_t colon = word.find(':');
    double beats = 0;
    if (colon == std::string::npos || (beats = std::atof(word.c_str() + colon + 1)) <= 0) {
      std::fprintf(stderr, "musicgen: note without a length: %s\n", word.c_str());
      return -1;
    }
    std::string names = word.substr(0, colon);
    if (!names.empty() && names.back() == '!') velocity = 1.0, names.pop_back();
    else if (!names.empty() && names.back() == '?') velocity = 0.55, names.pop_back();
    if (names != "r") {
      std::istringstream parts(names);
      std::string part;
      while (std::getline(parts, part, '+')) {
        note n{beat, beats, 0, velocity};
        if (!ParseKey(part, n.key)) {
          std::fprintf(stderr, "musicgen: not a note: %s\n", part.c_str());
          return -1;
        }
        notes.push_back(n);
      }
    }
    beat += beats;
  }
  return beat - start;
}

struct track {
  voice kind;
  double gain;
  double reverb;  // share sent to the reverb
  double echo;    // share sent to the echo
  std::vector<std::string> patterns;  // names, played one after another
};

struct song {
  const char* file;
  double bpm;
  int bars;
  double echoBeats;  // delay of the echo
  std::map<std::string, std::string> patterns;
  std::vector<track> tracks;
};

// ---- the ring renderer ------------------------------------------------------------------------

// A buffer whose index wraps round: what is written past the end lands at the start.
struct ring {
  std::vector<double> s;
  explicit ring(size_t length) : s(length) {}
  void Add(size_t at, const std::vector<double>& v, double gain) {
    if (gain == 0) return;
    size_t to = at % s.size();
    for (size_t i = 0; i < v.size(); ++i) {
      s[to] += v[i] * gain;
      if (++to == s.size()) to = 0;
    }
  }
};

// A feedback echo with a darkening in the loop, run round the ring until the repeats that wrap
// from the end have come back in (three rounds leave less than a millionth).
std::vector<double> RingEcho(const std::vector<double>& in, size_t delay, double feedback) {
  std::vector<double> out(in.size());
  const size_t n = in.size();
  onePole dark(3500);
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < n; ++i) out[i] = in[i] + feedback * dark(out[(i + n - delay) % n]);
  }
  for (size_t i = 0; i < n; ++i) out[i] -= in[i];
  return out;
}

// A small Schroeder reverb (four damped combs into two all-passes), run round the ring twice so
// the tail of the last bar rings on into the first.
std::vector<double> RingReverb(const std::vector<double>& in) {
  const size_t n = in.size();
  const size_t combLength[4] = {1557, 1617, 1491, 1422};
  const size_t passLength[2] = {556, 225};
  std::vector<std::vector<double>> comb(4), pass(2);
  for (int c = 0; c < 4; ++c) comb[static_cast<size_t>(c)].assign(combLength[c], 0);
  for (int p = 0; p < 2; ++p) pass[static_cast<size_t>(p)].assign(passLength[p], 0);
  double damp[4] = {0, 0, 0, 0};
  size_t combAt[4] = {0, 0, 0, 0}, passAt[2] = {0, 0};
  std::vector<double> out(n);
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < n; ++i) {
      double sum = 0;
      for (int c = 0; c < 4; ++c) {
        std::vector<double>& line = comb[static_cast<size_t>(c)];
        const double y = line[combAt[c]];
        damp[c] = y * 0.6 + damp[c] * 0.4;
        line[combAt[c]] = in[i] + damp[c] * 0.84;
        combAt[c] = (combAt[c] + 1) % combLength[c];
        sum += y;
      }
      for (int p = 0; p < 2; ++p) {
        std::vector<double>& line = pass[static_cast<size_t>(p)];
        const double y = line[passAt[p]];
        line[passAt[p]] = sum + y * 0.5;
        sum = y - sum;
        passAt[p] = (passAt[p] + 1) % passLength[p];
      }
      out[i] = sum * 0.25;
    }
  }
  return out;
}

// The song as samples at kRate; empty (reported) when a pattern is unreadable or a track's
// length is not the song's.
std::vector<double> Render(const song& piece) {
  const double beatSamples = 60.0 * kRate / piece.bpm;
  const size_t length = static_cast<size_t>(std::llround(piece.bars * 4 * beatSamples));
  ring dry(length), reverbSend(length), echoSend(length);
  std::mt19937 random(1729);
  std::uniform_real_distribution<double> spread(-0.06, 0.06);
  for (const track& part : piece.tracks) {
    std::vector<note> notes;
    double beats = 0;
    for (const std::string& name : part.patterns) {
      const auto found = piece.patterns.find(name);
      const double got = found == piece.patterns.end() ? -1 : ParsePattern(found->second, beats, notes);
      if (got < 0 || std::fmod(got, 4.0) != 0) {
        std::fprintf(stderr, "musicgen: %s: pattern \"%s\" is missing, unreadable or not whole bars\n", piece.file,
                     name.c_str());
        return {};
      }
      beats += got;
    }
    if (beats != piece.bars * 4.0) {
      std::fprintf(stderr, "musicgen: %s: a track is %g beats long, the song %d\n", piece.file, beats, piece.bars * 4);
      return {};
    }
    for (const note& n : notes) {
      // A little spread of loudness, so repeated notes are not machine-identical.
      const double velocity = n.velocity * (1 + spread(random));
      const std::vector<double> samples = RenderNote(part.kind, n.key, n.beats * 60 / piece.bpm, velocity, random);
      const size_t at = static_cast<size_t>(std::llround(n.beat * beatSamples));
      dry.Add(at, samples, part.gain);
      reverbSend.Add(at, samples, part.gain * part.reverb);
      echoSend.Add(at, samples, part.gain * part.echo);
    }
  }
  const std::vector<double> echo =
      RingEcho(echoSend.s, static_cast<size_t>(std::llround(piece.echoBeats * beatSamples)), 0.38);
  for (size_t i = 0; i < length; ++i) reverbSend.s[i] += 0.5 * echo[i];
  const std::vector<double> reverb = RingReverb(reverbSend.s);
  std::vector<double> out(length);
  double mean = 0;
  for (size_t i = 0; i < length; ++i) mean += out[i] = dry.s[i] + 0.6 * echo[i] + reverb[i];
  mean /= static_cast<double>(length);
  for (double& v : out) v -= mean;
  return out;
}

// Samples at a loudness that sits under the effects: RMS 0.1 of full scale, the peak at most 0.8.
std::vector<int16_t> MusicSamples(const std::vector<double>& signal) {
  double peak = 1e-9, power = 0;
  for (double v : signal) peak = std::max(peak, std::abs(v)), power += v * v;
  const double rms = std::sqrt(power / static_cast<double>(std::max<size_t>(1, signal.size())));
  return ToSamples(signal, std::min(0.1 / std::max(rms, 1e-9), 0.8 / peak));
}

// ---- the songs --------------------------------------------------------------------------------

// The menu: night over the town. A minor, a harp's arpeggios under a soft pad, a flute melody
// that turns to the major chords in its second half, bells answering in the opening bars.
//   | Am F C G | Am F C E | F G C Am | Dm G F E |
song MenuSong() {
  song s{"Menu.ogg", 75, 16, 1.5, {}, {}};
  s.patterns = {
      {"pad1", "A3+C4+E4:4 F3+A3+C4:4 G3+C4+E4:4 G3+B3+D4:4"},
      {"pad2", "A3+C4+E4:4 F3+A3+C4:4 G3+C4+E4:4 G#3+B3+E4:4"},
      {"pad3", "F3+A3+C4:4 G3+B3+D4:4 G3+C4+E4:4 A3+C4+E4:4"},
      {"pad4", "F3+A3+D4:4 G3+B3+D4:4 F3+A3+C4:4 G#3+B3+E4:4"},
      {"bass1", "A2:3 E2:1 F2:3 C3:1 C3:3 G2:1 G2:3 D2:1"},
      {"bass2", "A2:3 E2:1 F2:3 C3:1 C3:3 G2:1 E2:3 B2:1"},
      {"bass3", "F2:3 C3:1 G2:3 D2:1 C3:3 G2:1 A2:3 E2:1"},
      {"bass4", "D2:3 A2:1 G2:3 D2:1 F2:3 C3:1 E2:2 E2:1 G#2:1"},
      {"harp1",
       "A3:.5 E4:.5 A4:.5 C5:.5 E5:.5 C5:.5 A4:.5 E4:.5 F3:.5 C4:.5 F4:.5 A4:.5 C5:.5 A4:.5 F4:.5 C4:.5 "
       "C4:.5 G4:.5 C5:.5 E5:.5 G5:.5 E5:.5 C5:.5 G4:.5 G3:.5 D4:.5 G4:.5 B4:.5 D5:.5 B4:.5 G4:.5 D4:.5"},
      {"harp2",
       "A3:.5 E4:.5 A4:.5 C5:.5 E5:.5 C5:.5 A4:.5 E4:.5 F3:.5 C4:.5 F4:.5 A4:.5 C5:.5 A4:.5 F4:.5 C4:.5 "
       "C4:.5 G4:.5 C5:.5 E5:.5 G5:.5 E5:.5 C5:.5 G4:.5 E3:.5 B3:.5 E4:.5 G#4:.5 B4:.5 G#4:.5 E4:.5 B3:.5"},
      {"harp3",
       "F3:.5 C4:.5 F4:.5 A4:.5 C5:.5 A4:.5 F4:.5 C4:.5 G3:.5 D4:.5 G4:.5 B4:.5 D5:.5 B4:.5 G4:.5 D4:.5 "
       "C4:.5 G4:.5 C5:.5 E5:.5 G5:.5 E5:.5 C5:.5 G4:.5 A3:.5 E4:.5 A4:.5 C5:.5 E5:.5 C5:.5 A4:.5 E4:.5"},
      {"harp4",
       "D3:.5 A3:.5 D4:.5 F4:.5 A4:.5 F4:.5 D4:.5 A3:.5 G3:.5 D4:.5 G4:.5 B4:.5 D5:.5 B4:.5 G4:.5 D4:.5 "
       "F3:.5 C4:.5 F4:.5 A4:.5 C5:.5 A4:.5 F4:.5 C4:.5 E3:.5 B3:.5 E4:.5 G#4:.5 B4:.5 D5:.5 B4:.5 G#4:.5"},
      // The melody: a question in A minor, then the answer that climbs through the major chords.
      {"flute1", "A4:4 r:4 r:4 r:2 E4:1 G4:1"},
      {"flute2", "A4:1 C5:1 E5:1.5 D5:.5 C5:1.5 B4:.5 A4:2 G4:1 C5:1 E5:1 G5:1 E5:1.5 D5:.5 B4:1 G#4:1"},
      {"flute3", "A4:1 C5:1 F5:1.5 E5:.5 D5:1.5 E5:.5 D5:1 B4:1 C5:1 E5:1 G5:2 A5:1.5 G5:.5 E5:2"},
      {"flute4", "F5:1.5 E5:.5 D5:1 A4:1 B4:1 D5:1 G5:1.5 F5:.5 E5:1 C5:1 A4:1 C5:1 B4:3 r:1"},
      {"bell1", "r:1 E5:1 A5:2 r:1 C5:1 F5:2 r:1 E5:1 G5:2 r:1 D5:1 B4:2"},
      {"bell0", "r:16"},
      {"bell4", "r:4 r:4 r:2 C6:1? E6:1? r:4"},
      {"beat0", "r:16"},
      {"beat1", "k?:1 z?:.5 z?:.5 z:.5 z?:.5 k?:.5 z?:.5 k?:1 z?:.5 z?:.5 z:.5 z?:.5 z?:.5 z?:.5 "
                "k?:1 z?:.5 z?:.5 z:.5 z?:.5 k?:.5 z?:.5 k?:1 z?:.5 z?:.5 z:.5 z?:.5 z?:.5 z?:.5"},
  };
  s.tracks = {
      {voice::pad, 0.2, 0.5, 0.0, {"pad1", "pad2", "pad3", "pad4"}},
      {voice::softBass, 0.25, 0.1, 0.0, {"bass1", "bass2", "bass3", "bass4"}},
      {voice::harp, 0.32, 0.45, 0.25, {"harp1", "harp2", "harp3", "harp4"}},
      {voice::flute, 0.6, 0.4, 0.3, {"flute1", "flute2", "flute3", "flute4"}},
      {voice::bell, 0.5, 0.6, 0.5, {"bell1", "bell0", "bell0", "bell4"}},
      {voice::drums, 0.35, 0.2, 0.0, {"beat0", "beat1", "beat1", "beat1"}},
  };
  return s;
}

// Eight driving quavers on a root: low, low, octave, low, low, octave, low, octave.
std::string BassBar(const std::string& low, const std::string& high) {
  return low + ":.5 " + low + ":.5 " + high + ":.5 " + low + ":.5 " + low + ":.5 " + high + ":.5 " + low + ":.5 " +
         high + ":.5 ";
}

// The game: E minor, a plucked bass in quavers under a pluck arpeggio and drums; the lead's
// first tune in the A section, a higher, syncopated variation in the B section.
//   intro | Em C G D |  A | Em C G D | Em C Am B |  B | Am C G D | Am C B B |
song GameSong() {
  song s{"Game.ogg", 135, 20, 0.75, {}, {}};
  const std::string em = BassBar("E2", "E3"), c = BassBar("C2", "C3"), g = BassBar("G2", "G3"),
                    d = BassBar("D2", "D3"), am = BassBar("A2", "A3"), b = BassBar("B1", "B2");
  s.patterns = {
      {"bassI", em + c + g + d},
      {"bassA", em + c + g + d + em + c + am + b},
      {"bassB", am + c + g + d + am + c + b + "B1:.5 B1:.5 B2:.5 B1:.5 F#2:.5 F#2:.5 A2:.5 B2:.5"},
      {"arpI",
       "E4:.5 G4:.5 B4:.5 E5:.5 B4:.5 G4:.5 E4:.5 G4:.5 C4:.5 E4:.5 G4:.5 C5:.5 G4:.5 E4:.5 C4:.5 E4:.5 "
       "G4:.5 B4:.5 D5:.5 G5:.5 D5:.5 B4:.5 G4:.5 B4:.5 D4:.5 F#4:.5 A4:.5 D5:.5 A4:.5 F#4:.5 D4:.5 F#4:.5"},
      {"arpA2",
       "E4:.5 G4:.5 B4:.5 E5:.5 B4:.5 G4:.5 E4:.5 G4:.5 C4:.5 E4:.5 G4:.5 C5:.5 G4:.5 E4:.5 C4:.5 E4:.5 "
       "A3:.5 C4:.5 E4:.5 A4:.5 E4:.5 C4:.5 A3:.5 C4:.5 B3:.5 D#4:.5 F#4:.5 B4:.5 F#4:.5 D#4:.5 B3:.5 D#4:.5"},
      {"arpB1",
       "A3:.5 C4:.5 E4:.5 A4:.5 E4:.5 C4:.5 A3:.5 C4:.5 C4:.5 E4:.5 G4:.5 C5:.5 G4:.5 E4:.5 C4:.5 E4:.5 "
       "G4:.5 B4:.5 D5:.5 G5:.5 D5:.5 B4:.5 G4:.5 B4:.5 D4:.5 F#4:.5 A4:.5 D5:.5 A4:.5 F#4:.5 D4:.5 F#4:.5"},
      {"arpB2",
       "A3:.5 C4:.5 E4:.5 A4:.5 E4:.5 C4:.5 A3:.5 C4:.5 C4:.5 E4:.5 G4:.5 C5:.5 G4:.5 E4:.5 C4:.5 E4:.5 "
       "B3:.5 D#4:.5 F#4:.5 B4:.5 F#4:.5 D#4:.5 B3:.5 D#4:.5 B3:.5 D#4:.5 F#4:.5 A4:.5 B4:.5 A4:.5 F#4:.5 D#4:.5"},
      {"padI", "E3+G3+B3:4 E3+G3+C4:4 D3+G3+B3:4 D3+F#3+A3:4"},
      {"padA2", "E3+G3+B3:4 E3+G3+C4:4 E3+A3+C4:4 D#3+F#3+B3:4"},
      {"padB1", "E3+A3+C4:4 E3+G3+C4:4 D3+G3+B3:4 D3+F#3+A3:4"},
      {"padB2", "E3+A3+C4:4 E3+G3+C4:4 D#3+F#3+B3:8"},
      {"leadI", "r:16"},
      {"leadA1", "B4:.5 E5:.5 G5:.5 F#5:.5 E5:1 B4:1 C5:.5 E5:.5 G5:1 F#5:.5 E5:.5 D5:1 "
                 "D5:.5 G5:.5 B5:1 A5:.5 G5:.5 D5:1 F#5:1.5 E5:.5 D5:1 A4:1"},
      {"leadA2", "B4:.5 E5:.5 G5:.5 F#5:.5 E5:1 B5:1 C6:1 B5:.5 A5:.5 G5:1 E5:1 "
                 "A5:1 G5:.5 E5:.5 C5:1 E5:1 F#5:1 D#5:1 B4:1 D#5:1"},
      {"leadB1", "E5:.75 A5:.75 C6:.5 B5:1 A5:1 G5:.75 E5:.75 G5:.5 C6:2 "
                 "B5:.75 G5:.75 D5:.5 G5:1 B5:1 A5:.75 F#5:.75 D5:.5 A5:2"},
      {"leadB2", "C6:.5 B5:.5 A5:.5 E5:.5 A5:1 C6:1 E6:1 D6:.5 C6:.5 G5:2 "
                 "F#5:.5 A5:.5 B5:1 D#6:1 B5:1 F#5:1 D#5:1 B4:2"},
      {"drumsI", "k+h:.5 h:.5 h:.5 h:.5 k+h:.5 h:.5 h:.5 h:.5 k+h:.5 h:.5 h:.5 h:.5 k+h:.5 h:.5 k+h:.5 h:.5 "
                 "k+h:.5 h:.5 s+h:.5 h:.5 k+h:.5 h:.5 s+h:.5 h:.5 k+h:.5 h:.5 s+h:.5 h:.5 k:.5 s?:.25 s?:.25 s:.5 s!:.5"},
      {"groove", "k+h:.5 h?:.5 s+h:.5 h?:.5 k+h:.5 k+h?:.5 s+h:.5 o?:.5 k+h:.5 h?:.5 s+h:.5 h?:.5 k+h:.5 k+h?:.5 s+h:.5 h?:.5"},
      {"fill", "k+h:.5 h?:.5 s+h:.5 h?:.5 k+h:.5 k+h?:.5 s+h:.5 o?:.5 "
               "k+h:.5 h?:.5 s+h:.5 h?:.5 s?:.25 s?:.25 s:.25 s:.25 k+s!:.5 s!:.5"},
  };
  s.tracks = {
      {voice::drivenBass, 0.36, 0.05, 0.0, {"bassI", "bassA", "bassB"}},
      {voice::pluck, 0.32, 0.3, 0.35, {"arpI", "arpI", "arpA2", "arpB1", "arpB2"}},
      {voice::pad, 0.12, 0.5, 0.0, {"padI", "padI", "padA2", "padB1", "padB2"}},
      {voice::lead, 0.6, 0.3, 0.3, {"leadI", "leadA1", "leadA2", "leadB1", "leadB2"}},
      {voice::drums, 0.6, 0.12, 0.0,
       {"drumsI", "groove", "groove", "groove", "fill", "groove", "groove", "groove", "fill"}},
  };
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: musicgen FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const song& piece : {MenuSong(), GameSong()}) {
    const std::vector<double> signal = Render(piece);
    if (signal.empty() || !WriteOgg(folder + piece.file, MusicSamples(signal))) {
      std::fprintf(stderr, "musicgen: cannot write %s into %s\n", piece.file, folder.c_str());
      return 1;
    }
  }
  return 0;
}
