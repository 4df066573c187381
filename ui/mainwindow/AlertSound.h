#pragma once

#include <QElapsedTimer>
#include <filesystem>
#include <memory>
#include <string>

class QSoundEffect;

namespace vlo {

// The program's own short chime for highlights (and, when chosen, every message). The sound is
// made by the program and kept as a WAV file in `folder`; plays closer together than a quarter
// of a second are merged into one. Without an audio device nothing is heard and nothing fails.
// Window thread only.
class AlertSound {
 public:
  explicit AlertSound(std::filesystem::path folder);
  ~AlertSound();

  void Play();
  // Plays asked for and not merged, heard or not.
  int PlayCount() const { return plays_; }

 private:
  bool Prepare();

  std::filesystem::path folder_;
  std::unique_ptr<QSoundEffect> effect_;
  bool failed_{false};
  QElapsedTimer sinceLast_;
  int plays_{0};
};

// A 16-bit mono PCM WAV file of two soft rising tones, about 0.2 s long.
std::string ChimeWav();

}  // namespace vlo
