#include "emotes/CatalogueParsers.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/Json.h"

namespace vlo {
namespace {

using json::Json;

// A member read as text: a string, an integer's decimal form, else empty.
std::string Text(const Json& object, std::string_view key) {
  return json::TextMember(object, key).value_or(std::string{});
}

bool IsName(const std::string& name) {
  return !name.empty() && name.find(' ') == std::string::npos;
}

std::string SevenTvFile(const Json& host, bool animated) {
  std::vector<std::string> files;
  for (const Json& file : json::ArrayMember(host, "files")) files.push_back(Text(file, "name"));
  static constexpr std::array<std::string_view, 3> kAnimated{"2x.gif", "1x.gif", "2x.webp"};
  static constexpr std::array<std::string_view, 3> kStill{"2x.png", "1x.png", "2x.webp"};
  for (std::string_view candidate : animated ? kAnimated : kStill) {
    for (const std::string& file : files) {
      if (file == candidate) return file;
    }
  }
  return animated ? "2x.gif" : "2x.png";
}

void AddBttv(const Json& list, bool channel, std::string_view imageHost,
             std::vector<EmoteDef>& out) {
  if (!list.is_array()) return;
  for (const Json& element : list) {
    const std::string id = Text(element, "id");
    std::string code = Text(element, "code");
    if (!IsEmoteId(id) || !IsName(code)) continue;
    static constexpr std::array<std::string_view, 8> kZeroWidth{
        "SoSnowy", "IceCold", "SantaHat", "TopHat", "ReinDeer", "CandyCane", "cvMask", "cvHazmat"};
    bool zeroWidth = false;
    for (std::string_view name : kZeroWidth) zeroWidth = zeroWidth || code == name;
    std::string url{"https://"};
    url += imageHost;
    url += "/emote/";
    url += id;
    url += "/2x";
    out.push_back(EmoteDef{.name = std::move(code),
                           .url = std::move(url),
                           .source = EmoteSource::BetterTtv,
                           .zeroWidth = zeroWidth,
                           .channel = channel});
  }
}

}  // namespace

std::string NormaliseImageUrl(std::string_view url) {
  std::string result;
  if (url.starts_with("//")) result = "https:";
  result += url;
  if (!result.starts_with("https://")) result.clear();
  return result;
}

std::vector<EmoteDef> ParseSevenTvEmotes(std::string_view body, bool channel) {
  std::vector<EmoteDef> out;
  const Json root = json::ParseAny(body);
  const Json* set = &root;
  if (const Json* inner = json::Find(root, "emote_set"); inner && inner->is_object()) set = inner;
  const Json* emotes = json::Find(*set, "emotes");
  if (!emotes || !emotes->is_array()) return out;
  for (const Json& element : *emotes) {
    if (!element.is_object()) continue;
    std::string name = Text(element, "name");
    if (!IsName(name)) continue;
    const Json& data = json::ObjectMember(element, "data");
    const Json& host = json::ObjectMember(data, "host");
    const std::string base = NormaliseImageUrl(Text(host, "url"));
    if (base.empty()) continue;
    const bool animated = json::BoolMember(data, "animated").value_or(false);
    const std::optional<int64_t> flags = json::IntMember(element, "flags");
    out.push_back(EmoteDef{.name = std::move(name),
                           .url = base + "/" + SevenTvFile(host, animated),
                           .source = EmoteSource::SevenTv,
                           .zeroWidth = flags && (*flags & 1) != 0,
                           .channel = channel});
  }
  return out;
}

std::vector<EmoteDef> ParseBttvEmotes(std::string_view body, bool channel,
                                      std::string_view imageHost) {
  std::vector<EmoteDef> out;
  const Json root = json::ParseAny(body);
  if (root.is_array()) {
    AddBttv(root, channel, imageHost, out);
  } else if (root.is_object()) {
    AddBttv(json::ArrayMember(root, "channelEmotes"), channel, imageHost, out);
    AddBttv(json::ArrayMember(root, "sharedEmotes"), channel, imageHost, out);
  }
  return out;
}

std::vector<EmoteDef> ParseFfzEmotes(std::string_view body, bool channel) {
  std::vector<EmoteDef> out;
  const Json root = json::ParseAny(body);
  const Json* sets = json::Find(root, "sets");
  if (!sets || !sets->is_object()) return out;
  const Json* defaults = json::Find(root, "default_sets");
  std::vector<std::string> wanted;
  const bool filter = defaults && defaults->is_array();
  if (filter) {
    for (const Json& entry : *defaults) {
      if (std::optional<std::string> key = json::AsText(entry)) wanted.push_back(*key);
    }
  }
  for (const auto& [key, set] : sets->items()) {
    if (filter && std::find(wanted.begin(), wanted.end(), key) == wanted.end()) continue;
    const Json* emoticons = json::Find(set, "emoticons");
    if (!emoticons || !emoticons->is_array()) continue;
    for (const Json& emoticon : *emoticons) {
      std::string name = Text(emoticon, "name");
      if (!IsName(name)) continue;
      const Json& urls = json::ObjectMember(emoticon, "urls");
      std::string url;
      for (std::string_view size : {"2", "1", "4"}) {
        url = NormaliseImageUrl(Text(urls, size));
        if (!url.empty()) break;
      }
      if (url.empty()) continue;
      out.push_back(EmoteDef{.name = std::move(name),
                             .url = std::move(url),
                             .source = EmoteSource::FrankerFaceZ,
                             .zeroWidth = false,
                             .channel = channel});
    }
  }
  return out;
}

std::vector<EmoteDef> ParseCatalogue(EmoteSource source, std::string_view body, bool channel,
                                     const NativeImageHosts& hosts) {
  switch (source) {
    case EmoteSource::SevenTv:
      return ParseSevenTvEmotes(body, channel);
    case EmoteSource::BetterTtv:
      return ParseBttvEmotes(body, channel, hosts.bttvImages);
    case EmoteSource::FrankerFaceZ:
      return ParseFfzEmotes(body, channel);
    default:
      return {};
  }
}

}  // namespace vlo
