#include "updater/DownloadUpdate.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/AtomicFile.h"
#include "updater/SiteDownload.h"
#include "updater/VerifyInstaller.h"

namespace plx {
namespace {

namespace fs = std::filesystem;

// Downloads into the open ".part" file, then verifies it; the caller removes it on failure.
bool DownloadInto(int fd, const fs::path& part, const UpdateSite& site,
                  const UpdateRelease& release, const std::atomic<bool>& cancel,
                  const ProgressCallback& progress, std::string* error) {
  bool writeFailed = false;
  int64_t received = 0;
  int lastPercent = -1;
  const ChunkSink sink = [&](std::string_view chunk) {
    if (!vlo::WriteAll(fd, chunk)) {
      writeFailed = true;
      return false;
    }
    received += static_cast<int64_t>(chunk.size());
    if (progress && release.size > 0) {
      const int percent = static_cast<int>(received * 100 / release.size);
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(percent);
      }
    }
    return true;
  };
  const bool downloaded = DownloadFromSite(site, release.url, release.size, cancel, sink, error);
  // Written through before it can take the installer's name.
  const bool saved = !writeFailed && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!downloaded) return false;
  if (!saved || !closed) {
    *error = "Could not finish saving the update.";
    return false;
  }
  return VerifyInstaller(part, release, cancel, error);
}

}  // namespace

bool DownloadUpdate(const UpdateSite& site, const UpdateRelease& release,
                    const fs::path& installerPath, const std::atomic<bool>& cancel,
                    const ProgressCallback& progress, std::string* error) {
  const fs::path folder = installerPath.parent_path();
  std::error_code failure;
  if (!folder.empty()) fs::create_directories(folder, failure);
  if (failure || (!folder.empty() && !fs::is_directory(folder, failure))) {
    *error = "Could not create the updates folder.";
    return false;
  }

  if (fs::exists(installerPath, failure)) {
    std::string rejected;
    if (VerifyInstaller(installerPath, release, cancel, &rejected)) return true;
  }
  if (cancel.load()) {
    *error = "Update cancelled.";
    return false;
  }

  fs::path part = installerPath;
  part += ".part";
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    *error = "Could not create the update download.";
    return false;
  }
  if (!DownloadInto(fd, part, site, release, cancel, progress, error)) {
    ::unlink(part.c_str());
    return false;
  }
  if (::rename(part.c_str(), installerPath.c_str()) != 0) {
    *error = "Could not finish saving the installer.";
    ::unlink(part.c_str());
    return false;
  }
  vlo::SyncFolder(folder.empty() ? fs::path{"."} : folder);
  return true;
}

}  // namespace plx
