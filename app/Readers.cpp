#include "app/Readers.h"

#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"

namespace vlo {

void RegisterReaders(ChatHub& hub, const Endpoints& endpoints) {
  hub.SetReaderEntry(plx::PlatformId::Twitch, MakeTwitchReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::YouTube, MakeYouTubeReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::Kick, MakeKickReader(endpoints));
}

}  // namespace vlo
