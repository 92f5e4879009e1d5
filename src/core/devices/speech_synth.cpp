// A small cascade formant synthesizer for the speech units' sounds. Voiced sounds are a pulse train
// at a falling speaking pitch, softened by a one-pole low-pass (the glottal tilt), through three
// second-order resonators at the sound's formant frequencies; unvoiced sounds are white noise
// through one resonator at the frication's centre (or, for aspiration, through the formants).
// Stops are a silence or voice bar, a short noise burst and a little aspiration. Each sound is
// scaled to a loudness of its kind and faded in and out so the sounds join without clicks.
#include "devices/speech_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvo {

namespace {

enum class Kind : uint8_t {
  kPause,      // silence
  kVowel,      // voiced, formants moving from start to end
  kNasal,      // voiced, quieter, formants of a closed mouth
  kFricative,  // noise at a centre frequency (0: a flat, weak hiss)
  kVoicedFricative,
  kAspirate,    // noise through the formants (h)
  kStop,        // closure, burst at the noise centre, aspiration
  kVoicedStop,  // voice bar, burst, voicing into the next sound
  kAffricate,   // burst then the fricative (ch)
  kVoicedAffricate,
};

struct Recipe {
  Kind kind;
  uint16_t ms;                      // length
  uint16_t f1 = 0, f2 = 0, f3 = 0;  // formants at the start
  uint16_t e1 = 0, e2 = 0, e3 = 0;  // and at the end (0: as at the start)
  uint16_t noise = 0;               // frication or burst centre
};

// The SP0256-AL2 allophone set, codes 5 to 63, in code order.
constexpr Recipe kAllophones[] = {
    {Kind::kVowel, 290, 570, 840, 2410, 300, 2200, 2900},           // 5  OY  (boy)
    {Kind::kVowel, 170, 730, 1090, 2440, 320, 2150, 2900},          // 6  AY  (sky)
    {Kind::kVowel, 60, 530, 1840, 2480},                            // 7  EH  (end)
    {Kind::kStop, 80, 500, 1500, 2500, 0, 0, 0, 2000},              // 8  KK3 (comb)
    {Kind::kStop, 150, 500, 900, 2400, 0, 0, 0, 900},               // 9  PP  (pow)
    {Kind::kVoicedAffricate, 100, 300, 1800, 2600, 0, 0, 0, 2800},  // 10 JH (dodge)
    {Kind::kNasal, 170, 250, 1600, 2600},                           // 11 NN1 (thin)
    {Kind::kVowel, 60, 390, 1990, 2550},                            // 12 IH  (sit)
    {Kind::kStop, 100, 400, 1700, 2600, 0, 0, 0, 4200},             // 13 TT2 (to)
    {Kind::kVowel, 130, 420, 1300, 1600, 460, 1250, 1650},          // 14 RR1 (rural)
    {Kind::kVowel, 60, 500, 1500, 2500},                            // 15 AX  (succeed)
    {Kind::kNasal, 180, 250, 1000, 2200},                           // 16 MM  (milk)
    {Kind::kStop, 60, 400, 1700, 2600, 0, 0, 0, 4200},              // 17 TT1 (part)
    {Kind::kVoicedFricative, 50, 300, 1400, 2500, 0, 0, 0, 0},      // 18 DH1 (they)
    {Kind::kVowel, 170, 270, 2290, 3010},                           // 19 IY  (see)
    {Kind::kVowel, 200, 480, 1900, 2500, 300, 2200, 2900},          // 20 EY  (beige)
    {Kind::kVoicedStop, 60, 300, 1700, 2600, 0, 0, 0, 3500},        // 21 DD1 (could)
    {Kind::kVowel, 70, 320, 1000, 2240},                            // 22 UW1 (to)
    {Kind::kVowel, 80, 570, 840, 2410},                             // 23 AO  (aught)
    {Kind::kVowel, 70, 730, 1090, 2440},                            // 24 AA  (hot)
    {Kind::kVowel, 130, 280, 2250, 3000, 400, 1900, 2600},          // 25 YY2 (yes)
    {Kind::kVowel, 90, 660, 1720, 2410},                            // 26 AE  (hat)
    {Kind::kAspirate, 80, 500, 1500, 2500},                         // 27 HH1 (he)
    {Kind::kVoicedStop, 50, 250, 800, 2200, 0, 0, 0, 800},          // 28 BB1 (business)
    {Kind::kFricative, 130, 0, 0, 0, 0, 0, 0, 0},                   // 29 TH  (thin)
    {Kind::kVowel, 80, 440, 1020, 2240},                            // 30 UH  (book)
    {Kind::kVowel, 170, 300, 870, 2240, 280, 800, 2200},            // 31 UW2 (food)
    {Kind::kVowel, 250, 730, 1090, 2440, 320, 870, 2240},           // 32 AW  (out)
    {Kind::kVoicedStop, 80, 300, 1700, 2600, 0, 0, 0, 3500},        // 33 DD2 (do)
    {Kind::kVoicedStop, 120, 300, 1600, 2400, 0, 0, 0, 1800},       // 34 GG3 (wig)
    {Kind::kVoicedFricative, 130, 300, 1100, 2300, 0, 0, 0, 0},     // 35 VV  (vest)
    {Kind::kVoicedStop, 80, 300, 1900, 2500, 0, 0, 0, 2200},        // 36 GG1 (got)
    {Kind::kFricative, 160, 0, 0, 0, 0, 0, 0, 2700},                // 37 SH  (ship)
    {Kind::kVoicedFricative, 160, 300, 1800, 2600, 0, 0, 0, 2700},  // 38 ZH (azure)
    {Kind::kVowel, 100, 420, 1300, 1600},                           // 39 RR2 (brain)
    {Kind::kFricative, 120, 0, 0, 0, 0, 0, 0, 0},                   // 40 FF  (food)
    {Kind::kStop, 120, 500, 1500, 2500, 0, 0, 0, 1800},             // 41 KK2 (sky)
    {Kind::kStop, 100, 400, 1900, 2600, 0, 0, 0, 2400},             // 42 KK1 (can't)
    {Kind::kVoicedFricative, 140, 300, 1600, 2600, 0, 0, 0, 5000},  // 43 ZZ (zoo)
    {Kind::kNasal, 200, 250, 2000, 2700},                           // 44 NG  (anchor)
    {Kind::kVowel, 90, 360, 1000, 2400},                            // 45 LL  (lake)
    {Kind::kVowel, 150, 300, 610, 2200, 380, 900, 2300},            // 46 WW  (wool)
    {Kind::kVowel, 250, 500, 1500, 2500, 450, 1300, 1700},          // 47 XR  (repair)
    {Kind::kAspirate, 150, 300, 610, 2200},                         // 48 WH  (whig)
    {Kind::kVowel, 90, 280, 2250, 3000, 350, 2000, 2700},           // 49 YY1 (yes)
    {Kind::kAffricate, 150, 400, 1800, 2600, 0, 0, 0, 2700},        // 50 CH  (church)
    {Kind::kVowel, 110, 490, 1350, 1690},                           // 51 ER1 (fir)
    {Kind::kVowel, 210, 490, 1350, 1690},                           // 52 ER2 (fir)
    {Kind::kVowel, 170, 570, 840, 2410, 320, 800, 2240},            // 53 OW  (beau)
    {Kind::kVoicedFricative, 100, 300, 1400, 2500, 0, 0, 0, 0},     // 54 DH2 (they)
    {Kind::kFricative, 90, 0, 0, 0, 0, 0, 0, 5000},                 // 55 SS  (vest)
    {Kind::kNasal, 140, 250, 1600, 2600},                           // 56 NN2 (no)
    {Kind::kAspirate, 130, 500, 1500, 2500},                        // 57 HH2 (hoe)
    {Kind::kVowel, 240, 570, 840, 2410, 490, 1350, 1690},           // 58 OR  (store)
    {Kind::kVowel, 200, 730, 1090, 2440, 490, 1350, 1690},          // 59 AR  (alarm)
    {Kind::kVowel, 250, 390, 1990, 2550, 490, 1350, 1690},          // 60 YR  (clear)
    {Kind::kVoicedStop, 70, 300, 1600, 2400, 0, 0, 0, 1800},        // 61 GG2 (guest)
    {Kind::kVowel, 140, 400, 900, 2400},                            // 62 EL  (saddle)
    {Kind::kVoicedStop, 60, 250, 800, 2200, 0, 0, 0, 800},          // 63 BB2 (business)
};
static_assert(std::size(kAllophones) == 59);

// The Votrax SC-01 phoneme set, codes 0 to 63, in code order.
constexpr Recipe kPhonemes[] = {
    {Kind::kVowel, 60, 530, 1840, 2480},                            // 0  EH3 (jacket)
    {Kind::kVowel, 60, 530, 1840, 2480},                            // 1  EH2 (enlist)
    {Kind::kVowel, 120, 530, 1840, 2480},                           // 2  EH1 (heavy)
    {Kind::kPause, 40},                                             // 3  PA0
    {Kind::kVoicedStop, 50, 300, 1700, 2600, 0, 0, 0, 3500},        // 4  DT  (butter)
    {Kind::kVowel, 100, 480, 1900, 2500},                           // 5  A2  (made)
    {Kind::kVowel, 70, 480, 1900, 2500},                            // 6  A1  (made)
    {Kind::kVoicedFricative, 90, 300, 1800, 2600, 0, 0, 0, 2700},   // 7 ZH (azure)
    {Kind::kVowel, 70, 730, 1090, 2440},                            // 8  AH2 (honest)
    {Kind::kVowel, 60, 390, 1990, 2550},                            // 9  I3  (inhibit)
    {Kind::kVowel, 70, 390, 1990, 2550},                            // 10 I2  (inhibit)
    {Kind::kVowel, 80, 390, 1990, 2550},                            // 11 I1  (inhibit)
    {Kind::kNasal, 170, 250, 1000, 2200},                           // 12 M   (mat)
    {Kind::kNasal, 170, 250, 1600, 2600},                           // 13 N   (sun)
    {Kind::kVoicedStop, 70, 250, 800, 2200, 0, 0, 0, 800},          // 14 B   (bag)
    {Kind::kVoicedFricative, 120, 300, 1100, 2300, 0, 0, 0, 0},     // 15 V   (van)
    {Kind::kAffricate, 140, 400, 1800, 2600, 0, 0, 0, 2700},        // 16 CH  (chip)
    {Kind::kFricative, 150, 0, 0, 0, 0, 0, 0, 2700},                // 17 SH  (shop)
    {Kind::kVoicedFricative, 120, 300, 1600, 2600, 0, 0, 0, 4400},  // 18 Z (zoo)
    {Kind::kVowel, 150, 570, 840, 2410},                            // 19 AW1 (lawful)
    {Kind::kNasal, 150, 250, 2000, 2700},                           // 20 NG  (thing)
    {Kind::kVowel, 80, 730, 1090, 2440},                            // 21 AH1 (father)
    {Kind::kVowel, 80, 440, 1020, 2240},                            // 22 OO1 (looking)
    {Kind::kVowel, 120, 440, 1020, 2240},                           // 23 OO  (book)
    {Kind::kVowel, 100, 360, 1000, 2400},                           // 24 L   (land)
    {Kind::kStop, 100, 500, 1500, 2500, 0, 0, 0, 1900},             // 25 K   (trick)
    {Kind::kVoicedAffricate, 90, 300, 1800, 2600, 0, 0, 0, 2700},   // 26 J (judge)
    {Kind::kAspirate, 80, 500, 1500, 2500},                         // 27 H   (hello)
    {Kind::kVoicedStop, 80, 300, 1600, 2400, 0, 0, 0, 1900},        // 28 G   (get)
    {Kind::kFricative, 110, 0, 0, 0, 0, 0, 0, 0},                   // 29 F   (fast)
    {Kind::kVoicedStop, 60, 300, 1700, 2600, 0, 0, 0, 3500},        // 30 D   (paid)
    {Kind::kFricative, 100, 0, 0, 0, 0, 0, 0, 4400},                // 31 S   (pass)
    {Kind::kVowel, 180, 480, 1900, 2500, 300, 2200, 2900},          // 32 A   (day)
    {Kind::kVowel, 70, 300, 2200, 2900},                            // 33 AY  (day)
    {Kind::kVowel, 100, 280, 2250, 3000, 350, 2000, 2700},          // 34 Y1  (yard)
    {Kind::kVowel, 50, 500, 1500, 2500},                            // 35 UH3 (mission)
    {Kind::kVowel, 150, 730, 1090, 2440},                           // 36 AH  (mop)
    {Kind::kStop, 100, 500, 900, 2400, 0, 0, 0, 900},               // 37 P   (past)
    {Kind::kVowel, 150, 570, 840, 2410, 450, 800, 2300},            // 38 O   (cold)
    {Kind::kVowel, 150, 390, 1990, 2550},                           // 39 I   (pin)
    {Kind::kVowel, 150, 320, 900, 2240},                            // 40 U   (move)
    {Kind::kVowel, 100, 280, 2250, 3000},                           // 41 Y   (any)
    {Kind::kStop, 70, 400, 1700, 2600, 0, 0, 0, 4200},              // 42 T   (tap)
    {Kind::kVowel, 90, 420, 1300, 1600},                            // 43 R   (red)
    {Kind::kVowel, 170, 270, 2290, 3010},                           // 44 E   (meet)
    {Kind::kVowel, 80, 300, 610, 2200, 380, 900, 2300},             // 45 W   (win)
    {Kind::kVowel, 160, 660, 1720, 2410},                           // 46 AE  (dad)
    {Kind::kVowel, 100, 660, 1720, 2410},                           // 47 AE1 (after)
    {Kind::kVowel, 90, 570, 840, 2410},                             // 48 AW2 (salty)
    {Kind::kVowel, 70, 500, 1400, 2500},                            // 49 UH2 (about)
    {Kind::kVowel, 90, 500, 1400, 2500},                            // 50 UH1 (uncle)
    {Kind::kVowel, 150, 500, 1400, 2500},                           // 51 UH  (cup)
    {Kind::kVowel, 80, 450, 800, 2300},                             // 52 O2  (for)
    {Kind::kVowel, 110, 450, 800, 2300},                            // 53 O1  (aboard)
    {Kind::kVowel, 70, 320, 1400, 2300},                            // 54 IU  (you)
    {Kind::kVowel, 90, 320, 900, 2240},                             // 55 U1  (you)
    {Kind::kVoicedFricative, 80, 300, 1400, 2500, 0, 0, 0, 0},      // 56 THV (the)
    {Kind::kFricative, 70, 0, 0, 0, 0, 0, 0, 0},                    // 57 TH  (thin)
    {Kind::kVowel, 150, 490, 1350, 1690},                           // 58 ER  (bird)
    {Kind::kVowel, 150, 530, 1840, 2480},                           // 59 EH  (get)
    {Kind::kVowel, 120, 270, 2290, 3010},                           // 60 E1  (be)
    {Kind::kVowel, 220, 570, 840, 2410},                            // 61 AW  (call)
    {Kind::kPause, 150},                                            // 62 PA1
    {Kind::kPause, 0},                                              // 63 STOP
};
static_assert(std::size(kPhonemes) == 64);

// A second-order resonator (Klatt's form), unity gain at 0 Hz.
class Resonator {
 public:
  void Tune(double frequency, double bandwidth, double rate) {
    frequency = std::min(frequency, rate * 0.45);
    const double r = std::exp(-std::numbers::pi * bandwidth / rate);
    c_ = -r * r;
    b_ = 2.0 * r * std::cos(2.0 * std::numbers::pi * frequency / rate);
    a_ = 1.0 - b_ - c_;
  }
  double Step(double x) {
    const double y = a_ * x + b_ * y1_ + c_ * y2_;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double a_ = 1, b_ = 0, c_ = 0, y1_ = 0, y2_ = 0;
};

class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed | 1) {}
  double Next() {  // -1..1
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_ & 0xFFFF) / 32768.0 - 1.0;
  }

 private:
  uint32_t state_;
};

// The voiced source: one pulse per pitch period through a one-pole low-pass.
class Voice {
 public:
  explicit Voice(double rate) : rate_(rate) {}
  double Next(double position) {
    // The pitch falls a little through each sound, as at the end of a spoken phrase.
    const double pitch = 128.0 - 18.0 * position;
    phase_ += pitch / rate_;
    double pulse = 0;
    if (phase_ >= 1.0) {
      phase_ -= 1.0;
      pulse = 1.0;
    }
    tilt_ = tilt_ * 0.75 + pulse;
    return tilt_ - 0.25 * pulse;  // a little of the sharp edge for brightness
  }

 private:
  double rate_;
  double phase_ = 0.99;
  double tilt_ = 0;
};

double Lerp(double a, double b, double t) {
  return a + (b - a) * t;
}

std::vector<uint8_t> Render(const Recipe& r, double rate, uint32_t seed) {
  const size_t n = static_cast<size_t>(r.ms * rate / 1000.0);
  std::vector<double> out(n, 0.0);
  if (r.kind == Kind::kPause || n == 0) return std::vector<uint8_t>(n, 128);

  Resonator f1, f2, f3, fric;
  Noise noise(seed * 2654435761u);
  Voice voice(rate);
  const double e1 = r.e1 ? r.e1 : r.f1, e2 = r.e2 ? r.e2 : r.f2, e3 = r.e3 ? r.e3 : r.f3;
  if (r.noise) fric.Tune(r.noise, r.noise * 0.35, rate);

  // The parts of a stop, in samples: closure, burst, then aspiration or voicing.
  const size_t closure = n * 45 / 100;
  const size_t burst = std::min(n - closure, static_cast<size_t>(0.012 * rate));

  double peak = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    if ((i & 15) == 0) {
      f1.Tune(Lerp(r.f1 ? r.f1 : 500, e1, t), 70, rate);
      f2.Tune(Lerp(r.f2 ? r.f2 : 1500, e2, t), 100, rate);
      f3.Tune(Lerp(r.f3 ? r.f3 : 2500, e3, t), 160, rate);
    }
    const double v = voice.Next(t);
    const double hiss = noise.Next();
    double s = 0;
    switch (r.kind) {
      case Kind::kVowel:
      case Kind::kNasal: s = f3.Step(f2.Step(f1.Step(v))); break;
      case Kind::kFricative: s = r.noise ? fric.Step(hiss) : 0.25 * hiss; break;
      case Kind::kVoicedFricative:
        s = 0.6 * f1.Step(v) + (r.noise ? 0.5 * fric.Step(hiss) : 0.15 * hiss);
        break;
      case Kind::kAspirate: s = 0.6 * f3.Step(f2.Step(f1.Step(hiss))); break;
      case Kind::kStop:
      case Kind::kVoicedStop: {
        const bool voiced = r.kind == Kind::kVoicedStop;
        if (i < closure) {
          s = voiced ? 0.15 * f1.Step(v) : 0.0;
        } else if (i < closure + burst) {
          s = fric.Step(hiss);
        } else {
          const double vowel = f3.Step(f2.Step(f1.Step(voiced ? v : hiss)));
          s = voiced ? vowel : 0.5 * vowel;
        }
        break;
      }
      case Kind::kAffricate:
      case Kind::kVoicedAffricate: {
        const bool voiced = r.kind == Kind::kVoicedAffricate;
        const size_t hold = n / 4;
        if (i < hold) {
          s = voiced ? 0.15 * f1.Step(v) : 0.0;
        } else {
          s = fric.Step(hiss) + (voiced ? 0.4 * f1.Step(v) : 0.0);
        }
        break;
      }
      case Kind::kPause: break;
    }
    out[i] = s;
    peak = std::max(peak, std::abs(s));
  }

  // Loudness by kind, in steps of the 8-bit sample, and short fades at both ends.
  double loud = 60;
  switch (r.kind) {
    case Kind::kNasal: loud = 36; break;
    case Kind::kFricative: loud = r.noise ? 30 : 12; break;
    case Kind::kVoicedFricative: loud = 28; break;
    case Kind::kAspirate: loud = 20; break;
    case Kind::kStop:
    case Kind::kVoicedStop:
    case Kind::kAffricate:
    case Kind::kVoicedAffricate: loud = 40; break;
    default: break;
  }
  const double scale = peak > 0 ? loud / peak : 0;
  const size_t fade = std::max<size_t>(1, static_cast<size_t>(0.006 * rate));
  std::vector<uint8_t> samples(n);
  for (size_t i = 0; i < n; ++i) {
    double gain = scale;
    if (i < fade) gain *= static_cast<double>(i) / static_cast<double>(fade);
    if (n - 1 - i < fade) gain *= static_cast<double>(n - 1 - i) / static_cast<double>(fade);
    const long v = std::lround(128.0 + out[i] * gain);
    samples[i] = static_cast<uint8_t>(std::clamp(v, 1L, 255L));
  }
  return samples;
}

template <size_t N>
std::vector<SpeechSound> RenderAll(const Recipe (&recipes)[N], double rate) {
  std::vector<SpeechSound> sounds(N);
  for (size_t i = 0; i < N; ++i) {
    sounds[i].samples = Render(recipes[i], rate, static_cast<uint32_t>(i + 1));
  }
  return sounds;
}

}  // namespace

const std::vector<SpeechSound>& CurrahAllophones() {
  // Built once on first use and never changed after.
  static const std::vector<SpeechSound> sounds = RenderAll(kAllophones, 3500000.0 / 153.0);
  return sounds;
}

const std::vector<SpeechSound>& OratorPhonemes() {
  static const std::vector<SpeechSound> sounds = RenderAll(kPhonemes, 3500000.0 / 350.0);
  return sounds;
}

}  // namespace orvo
