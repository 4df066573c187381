#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "updater/UpdateRelease.h"

namespace plx {

inline constexpr std::string_view kUpdaterUserAgent = "VelaroStudio-Updater/1";
// The longest a download may take, counted on the site's clock.
inline constexpr int64_t kDownloadLimitMs = 600000;

// Takes each piece of the body (at most 64 KiB) as it arrives; false stops the download.
using ChunkSink = std::function<bool(std::string_view chunk)>;

// Downloads `url`, which must lie on the site, with a connection of its own (the updater's user
// agent, "Cache-Control: no-cache", redirects refused, TLS verified), streaming the body to
// `sink`. Stops when `cancel` is set (checked at least every 100 ms and before each piece), when
// the body grows past `byteLimit`, or after kDownloadLimitMs. False with the reason in `error`
// (not null) on any failure. Blocks; runs on a background task.
bool DownloadFromSite(const UpdateSite& site, const std::string& url, int64_t byteLimit,
                      const std::atomic<bool>& cancel, const ChunkSink& sink, std::string* error);

}  // namespace plx
