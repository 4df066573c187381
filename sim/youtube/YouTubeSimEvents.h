#pragma once

// One simulated live chat event and its two wire forms: the live chat page's action (renderer)
// and the Data API's live chat message resource.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vlo::sim {

struct YouTubeViewer {
  std::string name;
  std::string channelId;
  bool owner{false};
  bool moderator{false};
  bool member{false};
  bool verified{false};
};

enum class YouTubeEventKind {
  Text,          // text: the message; an ":emoji:" word becomes an emoji run on the page
  SuperChat,     // amount, text
  SuperSticker,  // amount, text = the sticker's label
  NewMember,     // text = the level name
  Milestone,     // count = months, text = the message, level = the level name
  Gift,          // count = memberships given
  Delete,        // targetId = the page id of the message removed
  Ban,           // targetId = the channel id whose messages are removed; count = seconds of a
                 // time-out, 0 for a ban
};

struct YouTubeEvent {
  YouTubeEventKind kind{YouTubeEventKind::Text};
  std::string id;  // message id; filled by the simulator when empty
  YouTubeViewer viewer;
  std::string text;
  std::string amount;
  std::string level;
  int count{0};
  std::string targetId;
  int64_t timeMs{0};  // filled by the simulator when 0
  // Delete, Ban: done by a moderator, so the page marks the messages deleted
  // ("markChatItem…AsDeletedAction") rather than taking them away ("removeChatItem…Action").
  bool byModerator{false};
};

// The Data API's id of a message: the services name one message differently on the page and in
// the Data API.
std::string ApiMessageId(const std::string& pageId);

// The page's action: "addChatItemAction", "removeChatItemAction" or
// "removeChatItemByAuthorAction", or for a moderator's removal "markChatItemAsDeletedAction" or
// "markChatItemsByAuthorAsDeletedAction".
nlohmann::json PageAction(const YouTubeEvent& event);

// The Data API's live chat message resource.
nlohmann::json ApiItem(const YouTubeEvent& event, const std::string& liveChatId);

// Text runs as the page writes them: ":word:" pieces become custom emoji runs.
nlohmann::json TextRuns(const std::string& text);

}  // namespace vlo::sim
