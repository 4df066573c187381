#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "updater/UpdateRelease.h"

namespace plx {

inline constexpr size_t kMaxManifestBytes = 16384;
inline constexpr int64_t kMinInstallerBytes = 1024;
inline constexpr int64_t kMaxInstallerBytes = 64 * 1024 * 1024;

// The release a manifest body names, or nothing when the body is empty, longer than
// kMaxManifestBytes, not a JSON object, or breaks a rule: "version" a version text (or "0.0.0"),
// "sha256" 64 hexadecimal digits (upper case is lowered), "size" an integer from
// kMinInstallerBytes to kMaxInstallerBytes. The installer's address is built from the version on
// `siteBase`, never read from the manifest.
std::optional<UpdateRelease> ParseManifest(std::string_view body, std::string_view siteBase);

// Fetches and parses the site's manifest (redirects refused, 10 s time-out). Nothing on any
// failure, with its text in `error` (not null). Blocks; runs on a background task. Once
// `*closing` turns true (the window is closing) the request ends at once.
std::optional<UpdateRelease> FetchUpdateManifest(const UpdateSite& site, std::string* error,
                                                 const std::atomic<bool>* closing = nullptr);

}  // namespace plx
