#include "emotes/EmoteTypes.h"

#include "core/Endpoints.h"

namespace vlo {
namespace {

// The base URL without its scheme: host, port and path prefix.
std::string WithoutScheme(std::string_view base) {
  const size_t scheme = base.find("://");
  if (scheme != std::string_view::npos) base.remove_prefix(scheme + 3);
  while (!base.empty() && base.back() == '/') base.remove_suffix(1);
  return std::string{base};
}

}  // namespace

std::string_view ProviderName(EmoteSource source) {
  switch (source) {
    case EmoteSource::Twitch:
      return "Twitch";
    case EmoteSource::Kick:
      return "Kick";
    case EmoteSource::SevenTv:
      return "7TV";
    case EmoteSource::BetterTtv:
      return "BetterTTV";
    case EmoteSource::FrankerFaceZ:
      return "FrankerFaceZ";
  }
  return {};
}

NativeImageHosts NativeImageHosts::From(const Endpoints& endpoints) {
  return NativeImageHosts{.twitchEmoteCdn = WithoutScheme(endpoints.twitchEmoteCdn),
                          .kickFiles = WithoutScheme(endpoints.kickFiles),
                          .bttvImages = WithoutScheme(endpoints.bttvImages)};
}

std::string TwitchEmoteKey(const NativeImageHosts& hosts, std::string_view id) {
  std::string key{"https://"};
  key += hosts.twitchEmoteCdn;
  key += "/emoticons/v2/";
  key += id;
  key += "/default/dark/2.0";
  return key;
}

std::string KickEmoteKey(const NativeImageHosts& hosts, std::string_view id) {
  std::string key{"https://"};
  key += hosts.kickFiles;
  key += "/emotes/";
  key += id;
  key += "/fullsize";
  return key;
}

bool IsEmoteId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  for (char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace vlo
