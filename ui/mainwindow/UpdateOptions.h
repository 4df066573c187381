#pragma once

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Clock.h"
#include "ui/mainwindow/UpdateBanner.h"

namespace vlo {

// How the main window checks for and installs updates. The defaults are the program's own; tests
// point the parts elsewhere.
struct UpdateOptions {
  // The first check comes this long after the window is created, then one every six hours.
  int firstCheckMs{kFirstUpdateCheckMs};
  // Checks at once and installs a newer release without asking (--install-update).
  bool installWithoutAsking{false};
  // The folder of the program an update replaces; empty = the running program's.
  std::filesystem::path programFolder;
  // The arguments the program is started again with; unset = this process's own, without
  // --install-update.
  std::optional<std::vector<std::string>> relaunchArgs;
  // The clock of the download's time limit; null = the real clock. Not owned.
  Clock* clock{nullptr};
  // Asks the update question (true = Yes) and shows the warning after a failed attempt; empty =
  // the toolkit's message boxes. Window thread.
  std::function<bool(const QString& text)> ask;
  std::function<void(const QString& text)> warn;
};

}  // namespace vlo
