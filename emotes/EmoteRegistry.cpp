#include "emotes/EmoteRegistry.h"

namespace vlo {

EmoteRegistry::EmoteRegistry(const Endpoints& endpoints)
    : endpoints_{endpoints}, hosts_{NativeImageHosts::From(endpoints)} {}

EmoteRegistry::~EmoteRegistry() { Stop(); }

void EmoteRegistry::Fetch(plx::PlatformId, bool, EmoteSource, std::string, std::string, uint32_t) {}
void EmoteRegistry::FetchGlobals() {}
void EmoteRegistry::SetChannel(plx::PlatformId, std::string_view) {}
std::optional<EmoteDef> EmoteRegistry::Find(plx::PlatformId, std::string_view) const {
  return std::nullopt;
}
std::vector<FetchReport> EmoteRegistry::TakeReports() { return {}; }
void EmoteRegistry::SetOnChange(std::function<void()> callback) {
  std::lock_guard lock{mutex_};
  onChange_ = std::move(callback);
}
void EmoteRegistry::Stop() {}
std::string EmoteRegistry::ChannelId(plx::PlatformId) const { return {}; }

}  // namespace vlo
