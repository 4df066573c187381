#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "updater/UpdateRelease.h"

namespace plx {

// Receives the share of the installer downloaded so far, 0 to 100, each time it changes.
using ProgressCallback = std::function<void(int percent)>;

// Makes sure a verified installer of `release` is at `installerPath`: one already there is used
// as it is; otherwise the installer is downloaded from the site into `installerPath` + ".part",
// verified (VerifyInstaller), and only then renamed over `installerPath` and written through to
// disk. The ".part" file never outlives a failure, and a failure never touches a file already at
// `installerPath`. `cancel` stops the download and the verification within one 64 KiB block;
// `progress` may be empty. False with the reason in `error` (not null). Blocks; runs on a
// background task.
bool DownloadUpdate(const UpdateSite& site, const UpdateRelease& release,
                    const std::filesystem::path& installerPath, const std::atomic<bool>& cancel,
                    const ProgressCallback& progress, std::string* error);

}  // namespace plx
