#include "ui/mainwindow/AlertSound.h"

#include <QSoundEffect>
#include <QUrl>
#include <cmath>
#include <numbers>

#include "core/AtomicFile.h"

namespace vlo {

namespace {

constexpr int kRate{44100};
constexpr qint64 kMinGapMs{250};

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i{0}; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string ChimeWav() {
  // Two tones a fifth apart, each with a quick attack and an exponential fade.
  struct Tone {
    double hz;
    double start;
    double length;
  };
  constexpr Tone kTones[]{{880.0, 0.0, 0.12}, {1318.5, 0.07, 0.15}};
  const int samples{static_cast<int>(kRate * 0.23)};
  std::string pcm;
  pcm.reserve(static_cast<size_t>(samples) * 2);
  for (int i{0}; i < samples; ++i) {
    const double t{static_cast<double>(i) / kRate};
    double value{0};
    for (const Tone& tone : kTones) {
      const double local{t - tone.start};
      if (local < 0 || local > tone.length) continue;
      const double attack{std::min(1.0, local / 0.005)};
      const double fade{std::exp(-local * 28.0)};
      value += 0.28 * attack * fade * std::sin(2 * std::numbers::pi * tone.hz * local);
    }
    PutLe(pcm, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767))), 2);
  }
  std::string wav{"RIFF"};
  PutLe(wav, static_cast<uint32_t>(36 + pcm.size()), 4);
  wav += "WAVEfmt ";
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);  // PCM
  PutLe(wav, 1, 2);  // mono
  PutLe(wav, kRate, 4);
  PutLe(wav, kRate * 2, 4);
  PutLe(wav, 2, 2);
  PutLe(wav, 16, 2);
  wav += "data";
  PutLe(wav, static_cast<uint32_t>(pcm.size()), 4);
  return wav + pcm;
}

AlertSound::AlertSound(std::filesystem::path folder) : folder_{std::move(folder)} {}

AlertSound::~AlertSound() = default;

bool AlertSound::Prepare() {
  if (effect_) return true;
  if (failed_) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  const std::filesystem::path file{folder_ / "chime.wav"};
  if (!WriteFileAtomically(file, ChimeWav(), 0644)) {
    failed_ = true;
    return false;
  }
  effect_ = std::make_unique<QSoundEffect>();
  effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
  effect_->setVolume(0.6f);
  return true;
}

void AlertSound::Play() {
  if (sinceLast_.isValid() && sinceLast_.elapsed() < kMinGapMs) return;
  sinceLast_.start();
  ++plays_;
  if (Prepare()) effect_->play();
}

}  // namespace vlo
