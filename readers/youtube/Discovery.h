#pragma once

// What one discovery cycle found, handed to the reader it starts, and how a reader ended.

#include <optional>
#include <string>

#include "core/YouTubeTarget.h"
#include "readers/youtube/PageChat.h"

namespace vlo {

struct YouTubeDiscovery {
  YouTubeTarget target;  // as configured (None when invalid)
  std::string label;
  bool signedIn{false};
  std::string videoId;
  std::string liveChatId;
  std::string title;
  bool signInRejected{false};
  bool quotaHit{false};
  std::optional<PageChat> pageChat;
};

enum class ReaderEnd {
  Ended,    // the chat ended or polling stopped; the next cycle starts afresh
  Lost,     // the page feed was lost; counts towards the move to the Data API reader
  Stopped,  // the hub no longer wants the reader: the thread ends
};

}  // namespace vlo
