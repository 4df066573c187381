#include "sim/emotes/EmoteCatalogueSim.h"

#include <nlohmann/json.hpp>

#include "sim/emotes/EmotePictures.h"

namespace vlo::sim {
namespace {

using nlohmann::json;

// Kinds of picture an emote can have on its image server.
enum class Art { Png, Jpeg, Webp, Gif, AnimatedWebp, Wide, Tall };

struct SevenTvEmote {
  const char* name;
  const char* id;
  bool animated;
  int flags;
  std::vector<const char*> files;  // as listed by the catalogue; the first one is drawn too
  Art art;
};

struct SimpleEmote {
  const char* name;
  const char* id;
  Art art;
};

const std::vector<SevenTvEmote>& SevenTvGlobal() {
  static const std::vector<SevenTvEmote> list{
      {"catJAM", "01SIMCATJAM", true, 0, {"1x.gif", "2x.gif", "1x.webp", "2x.webp"}, Art::Gif},
      {"monkaS", "01SIMMONKAS", false, 0, {"1x.png", "2x.png", "2x.webp"}, Art::Png},
      {"Pog", "01SIMPOG", false, 0, {"2x.webp"}, Art::Webp},
      {"RainTime", "01SIMRAIN", true, 1, {"2x.webp"}, Art::AnimatedWebp},
      {"widepeepoHappy", "01SIMWIDE", false, 0, {"2x.png"}, Art::Wide},
      {"peepoTall", "01SIMTALL", false, 0, {"2x.png"}, Art::Tall},
  };
  return list;
}

const std::vector<SevenTvEmote>& SevenTvChannel() {
  static const std::vector<SevenTvEmote> list{
      {"peepoHappy", "01SIMPEEPO", false, 0, {"1x.png", "2x.png"}, Art::Png},
      {"Clap", "01SIMCLAP", true, 0, {"2x.gif", "2x.webp"}, Art::Gif},
  };
  return list;
}

const std::vector<SimpleEmote> kBttvGlobal{
    {"Sadge", "5e0fa9d40550d42106b8a489", Art::Png},
    {"SoSnowy", "567b5b520e984428652809b6", Art::Png},
    {"IceCold", "5849c9a4f52be01a7ee5f79d", Art::Png},
};
const std::vector<SimpleEmote> kBttvChannel{{"OMEGALUL", "583089f4737a8e61abb0186b", Art::Gif}};
const std::vector<SimpleEmote> kBttvShared{{"catKISS", "5f455410b2efd65d77e8cd14", Art::Gif}};
const std::vector<SimpleEmote> kFfzGlobal{{"KEKW", "381875", Art::Png},
                                          {"LilZ", "28136", Art::Png}};
const std::vector<SimpleEmote> kFfzOther{{"NotDefault", "999", Art::Png}};
const std::vector<SimpleEmote> kFfzRoom{{"monkaW", "214681", Art::Jpeg}};
// The service emotes the simulated chats use (their ids as the chats send them).
const std::vector<SimpleEmote> kTwitch{
    {"Kappa", "25", Art::Png},        {"PogChamp", "305954156", Art::Png},
    {"LUL", "425618", Art::Jpeg},     {"Keepo", "1902", Art::Png},
    {"BibleThump", "86", Art::Png},   {"Kreygasm", "41", Art::Jpeg},
    {"SeemsGood", "64138", Art::Png}, {"NotLikeThis", "58765", Art::Png},
    {"HeyGuys", "30259", Art::Jpeg},  {"VoHiYo", "81274", Art::Png}};
const std::vector<SimpleEmote> kKick{
    {"KEKLEO", "37226", Art::Png},  {"emojiAngel", "1730752", Art::Gif},
    {"LULW", "37227", Art::Png},    {"catJAM", "39261", Art::Gif},
    {"monkaS", "37230", Art::Jpeg}, {"Sadge", "37225", Art::Png}};

struct Drawn {
  std::string bytes;
  std::string contentType;
};

Drawn Draw(Art art, uint32_t hue) {
  switch (art) {
    case Art::Png:
      return {FacePng(56, 56, hue, static_cast<int>(hue)), "image/png"};
    case Art::Jpeg:
      return {FaceJpeg(56, 56, hue, static_cast<int>(hue)), "image/jpeg"};
    case Art::Webp:
      return {FaceWebp(56, 56, hue, static_cast<int>(hue)), "image/webp"};
    case Art::Gif:
      return {BouncingGif(hue), "image/gif"};
    case Art::AnimatedWebp:
      return {PulsingWebp(hue), "image/webp"};
    case Art::Wide:
      return {FacePng(168, 56, hue, 0), "image/png"};
    case Art::Tall:
      return {FacePng(28, 112, hue, 1), "image/png"};
  }
  return {};
}

// The art of a 7TV file name: GIF files are the GIF, WebP files of animated emotes animate.
Art SevenTvArt(const SevenTvEmote& emote, std::string_view file) {
  if (file.ends_with(".gif")) return Art::Gif;
  if (file.ends_with(".webp")) return emote.animated ? Art::AnimatedWebp : Art::Webp;
  return emote.art == Art::Wide || emote.art == Art::Tall ? emote.art : Art::Png;
}

std::string HostOf(const SimServer& server) {
  std::string base = server.BaseUrl();
  return base.substr(base.find("://") + 1);  // "//127.0.0.1:PORT"
}

HttpAnswer WithFault(Fault fault, HttpAnswer answer, int slowMs) {
  switch (fault) {
    case Fault::NotFound:
      return HttpAnswer::Json(R"({"message":"not found"})", 404);
    case Fault::ServerError:
      return HttpAnswer::Json(R"({"message":"unavailable"})", 503);
    case Fault::Slow:
      answer.delayMs = slowMs;
      return answer;
    case Fault::None:
      break;
  }
  return answer;
}

}  // namespace

EmoteCatalogueSim::EmoteCatalogueSim() {
  uint32_t hue = 0;
  auto add = [&](const std::string& key, Art art) {
    Drawn drawn = Draw(art, hue);
    hue += 47;
    images_[key] = Image{std::move(drawn.bytes), std::move(drawn.contentType)};
  };
  for (const auto* list : {&SevenTvGlobal(), &SevenTvChannel()}) {
    for (const SevenTvEmote& emote : *list) {
      for (const char* file : emote.files) {
        add(std::string{"7tv/emote/"} + emote.id + "/" + file, SevenTvArt(emote, file));
      }
    }
  }
  for (const auto* list : {&kBttvGlobal, &kBttvChannel, &kBttvShared}) {
    for (const SimpleEmote& emote : *list) {
      for (const char* size : {"1x", "2x", "3x"}) {
        add(std::string{"bttv/emote/"} + emote.id + "/" + size, emote.art);
      }
    }
  }
  for (const auto* list : {&kFfzGlobal, &kFfzOther, &kFfzRoom}) {
    for (const SimpleEmote& emote : *list) {
      for (const char* size : {"1", "2", "4"}) {
        add(std::string{"ffz/emote/"} + emote.id + "/" + size, emote.art);
      }
    }
  }
  for (const SimpleEmote& emote : kTwitch) {
    add(std::string{"twitch/emoticons/v2/"} + emote.id + "/default/dark/2.0", emote.art);
  }
  for (const SimpleEmote& emote : kKick) {
    add(std::string{"kick/emotes/"} + emote.id + "/fullsize", emote.art);
  }
  RouteCatalogues();
  RouteImages();
}

EmoteCatalogueSim::~EmoteCatalogueSim() {
  // The servers go after the images and switches their handlers read: stop them first.
  for (SimServer* server : {&sevenTvApi_, &bttvApi_, &ffzApi_, &sevenTvCdn_, &bttvCdn_, &ffzCdn_,
                            &twitchCdn_, &kickFiles_}) {
    server->Stop();
  }
}

void EmoteCatalogueSim::ApplyTo(Endpoints& endpoints) const {
  endpoints.sevenTvApi = sevenTvApi_.BaseUrl();
  endpoints.bttvApi = bttvApi_.BaseUrl();
  endpoints.ffzApi = ffzApi_.BaseUrl();
  endpoints.bttvImages = bttvCdn_.BaseUrl();
  endpoints.twitchEmoteCdn = twitchCdn_.BaseUrl();
  endpoints.kickFiles = kickFiles_.BaseUrl();
}

void EmoteCatalogueSim::SetCatalogueFault(enum Catalogue catalogue, Fault fault) {
  faults_[static_cast<int>(catalogue)].store(fault);
}

void EmoteCatalogueSim::SetImageFault(Fault fault) { imageFault_.store(fault); }
void EmoteCatalogueSim::SetSlowDelay(int ms) { slowMs_.store(ms); }

SimServer& EmoteCatalogueSim::Api(enum Catalogue catalogue) {
  switch (catalogue) {
    case Catalogue::BetterTtv:
      return bttvApi_;
    case Catalogue::FrankerFaceZ:
      return ffzApi_;
    case Catalogue::SevenTv:
      break;
  }
  return sevenTvApi_;
}

size_t EmoteCatalogueSim::ImageRequestCount() const {
  return sevenTvCdn_.Requests().size() + bttvCdn_.Requests().size() + ffzCdn_.Requests().size() +
         twitchCdn_.Requests().size() + kickFiles_.Requests().size();
}

size_t EmoteCatalogueSim::CatalogueRequestCount() const {
  return sevenTvApi_.Requests().size() + bttvApi_.Requests().size() + ffzApi_.Requests().size();
}

void EmoteCatalogueSim::ClearRequests() {
  for (SimServer* server : {&sevenTvApi_, &bttvApi_, &ffzApi_, &sevenTvCdn_, &bttvCdn_, &ffzCdn_,
                            &twitchCdn_, &kickFiles_}) {
    server->ClearRequests();
  }
}

const std::vector<std::string>& EmoteCatalogueSim::EmoteNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const auto* list : {&SevenTvGlobal(), &SevenTvChannel()}) {
      for (const SevenTvEmote& emote : *list) all.emplace_back(emote.name);
    }
    for (const auto* list :
         {&kBttvGlobal, &kBttvChannel, &kBttvShared, &kFfzGlobal, &kFfzRoom, &kTwitch, &kKick}) {
      for (const SimpleEmote& emote : *list) all.emplace_back(emote.name);
    }
    return all;
  }();
  return names;
}

const std::vector<NativeEmote>& EmoteCatalogueSim::TwitchEmotes() {
  static const std::vector<NativeEmote> list = [] {
    std::vector<NativeEmote> out;
    for (const SimpleEmote& emote : kTwitch) out.push_back({emote.name, emote.id});
    return out;
  }();
  return list;
}

const std::vector<NativeEmote>& EmoteCatalogueSim::KickEmotes() {
  static const std::vector<NativeEmote> list = [] {
    std::vector<NativeEmote> out;
    for (const SimpleEmote& emote : kKick) out.push_back({emote.name, emote.id});
    return out;
  }();
  return list;
}

HttpAnswer EmoteCatalogueSim::Catalogue(enum Catalogue catalogue, std::string body) const {
  return WithFault(faults_[static_cast<int>(catalogue)].load(), HttpAnswer::Json(std::move(body)),
                   slowMs_.load());
}

HttpAnswer EmoteCatalogueSim::ImageAnswer(const std::string& name) const {
  auto it = images_.find(name);
  if (it == images_.end()) return HttpAnswer::Status(404, "no such image");
  return WithFault(imageFault_.load(), HttpAnswer::Text(it->second.bytes, it->second.contentType),
                   slowMs_.load());
}

std::string EmoteCatalogueSim::SevenTvSet(const std::string& id, bool channel) const {
  json emotes = json::array();
  for (const SevenTvEmote& emote : channel ? SevenTvChannel() : SevenTvGlobal()) {
    json files = json::array();
    for (const char* file : emote.files) {
      files.push_back(
          {{"name", file}, {"format", std::string_view{file}.ends_with("gif") ? "GIF" : "WEBP"}});
    }
    emotes.push_back(
        {{"id", emote.id},
         {"name", emote.name},
         {"flags", emote.flags},
         {"data",
          {{"id", emote.id},
           {"name", emote.name},
           {"animated", emote.animated},
           {"host", {{"url", HostOf(sevenTvCdn_) + "/emote/" + emote.id}, {"files", files}}}}}});
  }
  json set{{"id", channel ? "set-" + id : "global"},
           {"name", channel ? "Channel Emotes" : "Global Emotes"},
           {"emotes", emotes}};
  if (!channel) return set.dump();
  return json{{"id", "user-" + id}, {"platform", "TWITCH"}, {"username", "sim"}, {"emote_set", set}}
      .dump();
}

std::string EmoteCatalogueSim::BttvGlobal() const {
  json list = json::array();
  for (const SimpleEmote& emote : kBttvGlobal) {
    list.push_back({{"id", emote.id},
                    {"code", emote.name},
                    {"imageType", "png"},
                    {"animated", false},
                    {"userId", "5561169bd6b9d206222a8c19"}});
  }
  return list.dump();
}

std::string EmoteCatalogueSim::BttvUser(const std::string& id) const {
  auto entries = [](const std::vector<SimpleEmote>& emotes, bool shared) {
    json list = json::array();
    for (const SimpleEmote& emote : emotes) {
      json entry{{"id", emote.id}, {"code", emote.name}, {"imageType", "gif"}, {"animated", true}};
      if (shared) entry["user"] = {{"id", "u1"}, {"name", "someone"}};
      list.push_back(entry);
    }
    return list;
  };
  return json{{"id", "bttv-" + id},
              {"bots", json::array()},
              {"avatar", ""},
              {"channelEmotes", entries(kBttvChannel, false)},
              {"sharedEmotes", entries(kBttvShared, true)}}
      .dump();
}

namespace {

json FfzSet(int id, const std::vector<SimpleEmote>& emotes, const std::string& host) {
  json list = json::array();
  for (const SimpleEmote& emote : emotes) {
    const std::string base = host + "/emote/" + emote.id + "/";
    list.push_back({{"id", std::stoi(emote.id)},
                    {"name", emote.name},
                    {"width", 28},
                    {"height", 28},
                    {"urls", {{"1", base + "1"}, {"2", base + "2"}, {"4", base + "4"}}}});
  }
  return json{{"id", id}, {"title", "Set " + std::to_string(id)}, {"emoticons", list}};
}

}  // namespace

std::string EmoteCatalogueSim::FfzGlobal() const {
  const std::string host = HostOf(ffzCdn_);
  return json{
      {"default_sets", {3}},
      {"sets", {{"3", FfzSet(3, kFfzGlobal, host)}, {"4330", FfzSet(4330, kFfzOther, host)}}},
      {"users", json::object()}}
      .dump();
}

std::string EmoteCatalogueSim::FfzRoom(const std::string& id) const {
  return json{{"room", {{"twitch_id", id}, {"set", 1234}}},
              {"sets", {{"1234", FfzSet(1234, kFfzRoom, HostOf(ffzCdn_))}}}}
      .dump();
}

void EmoteCatalogueSim::RouteCatalogues() {
  auto idAfter = [](const HttpExchange& exchange, std::string_view prefix) {
    return exchange.path.substr(prefix.size());
  };
  sevenTvApi_.Route("GET", "/v3/emote-sets/global", [this](const HttpExchange&) {
    return Catalogue(Catalogue::SevenTv, SevenTvSet({}, false));
  });
  for (std::string prefix : {"/v3/users/twitch/", "/v3/users/kick/"}) {
    sevenTvApi_.RoutePrefix("GET", prefix, [this, prefix, idAfter](const HttpExchange& exchange) {
      return Catalogue(Catalogue::SevenTv, SevenTvSet(idAfter(exchange, prefix), true));
    });
  }
  bttvApi_.Route("GET", "/3/cached/emotes/global", [this](const HttpExchange&) {
    return Catalogue(Catalogue::BetterTtv, BttvGlobal());
  });
  bttvApi_.RoutePrefix("GET", "/3/cached/users/twitch/", [this, idAfter](const HttpExchange& e) {
    return Catalogue(Catalogue::BetterTtv, BttvUser(idAfter(e, "/3/cached/users/twitch/")));
  });
  ffzApi_.Route("GET", "/v1/set/global", [this](const HttpExchange&) {
    return Catalogue(Catalogue::FrankerFaceZ, FfzGlobal());
  });
  ffzApi_.RoutePrefix("GET", "/v1/room/id/", [this, idAfter](const HttpExchange& e) {
    return Catalogue(Catalogue::FrankerFaceZ, FfzRoom(idAfter(e, "/v1/room/id/")));
  });
}

void EmoteCatalogueSim::RouteImages() {
  const std::pair<SimServer*, std::string> servers[] = {{&sevenTvCdn_, "7tv"},
                                                        {&bttvCdn_, "bttv"},
                                                        {&ffzCdn_, "ffz"},
                                                        {&twitchCdn_, "twitch"},
                                                        {&kickFiles_, "kick"}};
  for (const auto& [server, tag] : servers) {
    server->RoutePrefix("GET", "/", [this, tag](const HttpExchange& exchange) {
      return ImageAnswer(tag + exchange.path);
    });
  }
}

std::unique_ptr<EmoteCatalogueSim> StartEmoteSim(Endpoints& endpoints) {
  auto sim = std::make_unique<EmoteCatalogueSim>();
  sim->ApplyTo(endpoints);
  return sim;
}

}  // namespace vlo::sim
