#include "updater/Manifest.h"

#include "core/Json.h"
#include "net/Http.h"
#include "updater/ReleaseVersion.h"

namespace plx {
namespace {

using vlo::json::Json;

std::optional<std::string> NormaliseDigest(std::string digest) {
  if (digest.size() != 64) return std::nullopt;
  for (char& c : digest) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
  }
  return digest;
}

}  // namespace

std::optional<UpdateRelease> ParseManifest(std::string_view body, std::string_view siteBase) {
  if (body.empty() || body.size() > kMaxManifestBytes) return std::nullopt;
  const Json manifest = vlo::json::ParseObject(body);

  const std::optional<std::string> version = vlo::json::TextMember(manifest, "version");
  if (!version || !ParseVersion(*version)) return std::nullopt;
  std::optional<std::string> digest = vlo::json::TextMember(manifest, "sha256");
  if (digest) digest = NormaliseDigest(std::move(*digest));
  if (!digest) return std::nullopt;
  const std::optional<int64_t> size = vlo::json::IntMember(manifest, "size");
  if (!size || *size < kMinInstallerBytes || *size > kMaxInstallerBytes) return std::nullopt;

  return UpdateRelease{*version, InstallerUrl(siteBase, *version), std::move(*digest), *size};
}

std::optional<UpdateRelease> FetchUpdateManifest(const UpdateSite& site, std::string* error,
                                                 const std::atomic<bool>* closing) {
  if (!IsSecureSite(site.base)) {
    *error = "Update check: the update site does not use HTTPS.";
    return std::nullopt;
  }
  HttpRequest request;
  request.url = site.base + std::string{kManifestPath};
  request.timeoutMs = 10000;
  request.followRedirects = false;
  if (closing) request.control.keepGoing = [closing] { return !closing->load(); };
  const HttpResponse response = Perform(request);
  if (response.status >= 200 && response.status <= 299) {
    std::optional<UpdateRelease> release = ParseManifest(response.body, site.base);
    if (!release) {
      *error = "Update check: the website's chat-latest.json has no installable release yet.";
    }
    return release;
  }
  *error = !response.error.empty() ? response.error
                                   : "Update check: HTTP " + std::to_string(response.status);
  return std::nullopt;
}

}  // namespace plx
