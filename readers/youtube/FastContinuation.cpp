#include "readers/youtube/FastContinuation.h"

#include <simdjson.h>

#include <utility>

#include "readers/youtube/ChatActions.h"

namespace vlo {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;
using Member = std::optional<element>;

// Documents nested deeper are left to the general reader, which allows 512 levels.
constexpr size_t kMaxFastDepth = 256;

simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser parser;
  thread_local const bool ready = !parser.allocate(size_t{1} << 16, kMaxFastDepth);
  (void)ready;
  return parser;
}

bool AsObject(const Member& value, object& out) { return value && !value->get_object().get(out); }
bool AsArray(const Member& value, array& out) { return value && !value->get_array().get(out); }
bool IsObject(const Member& value) { return value && value->is_object(); }

std::string_view StringOf(element value) {
  std::string_view text;
  if (value.get_string().get(text)) return {};
  return text;
}

// The member `key`, the last of a repeated name winning as in the general reader's objects.
Member Find(object o, std::string_view key) {
  Member found;
  for (const auto field : o) {
    if (field.key == key) found = field.value;
  }
  return found;
}
Member Find(const Member& value, std::string_view key) {
  object o;
  return AsObject(value, o) ? Find(o, key) : Member{};
}

// Reading state: `unsure` is set where the two readers might differ (a fraction, which they may
// type differently), and the whole answer is then left to the general reader.
struct Reader {
  bool unsure{false};
  int64_t nowMs{0};

  // A value as text the way json::AsText reads it: a string, or an integer in decimal.
  std::optional<std::string> Text(const Member& value) {
    if (!value) return std::nullopt;
    switch (value->type()) {
      case element_type::STRING:
        return std::string{StringOf(*value)};
      case element_type::INT64: {
        int64_t number{0};
        if (value->get_int64().get(number)) return std::nullopt;
        return std::to_string(number);
      }
      case element_type::UINT64: {
        uint64_t number{0};
        if (value->get_uint64().get(number)) return std::nullopt;
        return std::to_string(number);
      }
      case element_type::DOUBLE:
        unsure = true;
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }
  std::string TextOr(const Member& object, std::string_view key) {
    std::optional<std::string> text = Text(Find(object, key));
    return text ? std::move(*text) : std::string{};
  }

  // RunsToText over the element.
  std::string Runs(const Member& text) {
    object o;
    if (!AsObject(text, o)) return {};
    Member simple;
    Member runs;
    for (const auto field : o) {
      if (field.key == "simpleText") {
        simple = field.value;
      } else if (field.key == "runs") {
        runs = field.value;
      }
    }
    if (simple && simple->is_string()) return std::string{StringOf(*simple)};
    std::string out;
    array list;
    if (!AsArray(runs, list)) return out;
    for (const element run : list) {
      object runObject;
      if (run.get_object().get(runObject)) continue;
      Member runText;
      Member emoji;
      for (const auto field : runObject) {
        if (field.key == "text") {
          runText = field.value;
        } else if (field.key == "emoji") {
          emoji = field.value;
        }
      }
      if (runText && runText->is_string()) {
        out += StringOf(*runText);
        continue;
      }
      if (!IsObject(emoji)) continue;
      const Member custom = Find(emoji, "isCustomEmoji");
      bool isCustom{false};
      if (custom && !custom->get_bool().get(isCustom) && isCustom) {
        array shortcuts;
        element first;
        if (AsArray(Find(emoji, "shortcuts"), shortcuts) && !shortcuts.at(0).get(first) &&
            first.is_string()) {
          out += StringOf(first);
          continue;
        }
      }
      out += TextOr(emoji, "emojiId");
    }
    return out;
  }

  // A liveChatTextMessageRenderer: the converted item's effect, as ConvertRenderer and then
  // ParseYouTubeChatValue work it out; absent when the conversion gives no item.
  std::optional<FeedItem> TextMessage(object renderer) {
    Member message, authorName, channelId, badges, timestamp, id;
    for (const auto field : renderer) {
      const std::string_view key = field.key;
      if (key == "message") {
        message = field.value;
      } else if (key == "authorName") {
        authorName = field.value;
      } else if (key == "authorExternalChannelId") {
        channelId = field.value;
      } else if (key == "authorBadges") {
        badges = field.value;
      } else if (key == "timestampUsec") {
        timestamp = field.value;
      } else if (key == "id") {
        id = field.value;
      }
    }
    std::string body = Runs(message);
    if (body.empty()) return std::nullopt;

    FeedItem result;
    std::optional<std::string> itemId = Text(id);
    if (itemId) result.seenId = std::move(*itemId);
    const std::optional<std::string> usec = Text(timestamp);
    const std::string publishedAt = UsecToIso(usec ? *usec : std::string{});

    bool owner = false;
    bool moderator = false;
    bool sponsor = false;
    bool verified = false;
    array badgeList;
    if (AsArray(badges, badgeList)) {
      for (const element badge : badgeList) {
        object badgeRenderer;
        if (!AsObject(Find(Member{badge}, "liveChatAuthorBadgeRenderer"), badgeRenderer)) {
          continue;
        }
        Member icon, thumbnail;
        for (const auto field : badgeRenderer) {
          if (field.key == "icon") {
            icon = field.value;
          } else if (field.key == "customThumbnail") {
            thumbnail = field.value;
          }
        }
        const std::string iconType = IsObject(icon) ? TextOr(icon, "iconType") : std::string{};
        if (iconType == "OWNER") {
          owner = true;
        } else if (iconType == "MODERATOR") {
          moderator = true;
        } else if (iconType == "VERIFIED" || iconType == "CHECK_CIRCLE_THICK") {
          verified = true;
        } else if (thumbnail) {
          sponsor = true;
        }
      }
    }
    std::string author = authorName ? Runs(authorName) : std::string{};
    std::optional<std::string> authorId = Text(channelId);
    if (author.empty()) return result;

    plx::ChatMessage& m = result.message.emplace();
    m.author = std::move(author);
    m.body = std::move(body);
    m.platformMessageId = result.seenId;
    m.id = "yt-" + (m.platformMessageId.empty() ? std::to_string(nowMs) : m.platformMessageId);
    m.platform = plx::PlatformId::YouTube;
    if (authorId) m.authorId = std::move(*authorId);
    if (owner) m.tags.emplace_back("broadcaster");
    if (moderator) m.tags.emplace_back("moderator");
    if (sponsor) m.tags.emplace_back("member");
    if (verified) m.tags.emplace_back("verified");
    m.timestampMs = plx::ParseIsoTimeMs(publishedAt);
    if (m.timestampMs == 0) m.timestampMs = nowMs;
    return result;
  }

  // The element as the general reader's value; false where the two might differ.
  bool ToJson(element value, json::Json& out) {
    switch (value.type()) {
      case element_type::ARRAY: {
        out = json::Json::array();
        array list;
        if (value.get_array().get(list)) return false;
        for (const element child : list) {
          json::Json converted;
          if (!ToJson(child, converted)) return false;
          out.push_back(std::move(converted));
        }
        return true;
      }
      case element_type::OBJECT: {
        out = json::Json::object();
        object members;
        if (value.get_object().get(members)) return false;
        for (const auto field : members) {
          json::Json converted;
          if (!ToJson(field.value, converted)) return false;
          out[std::string{field.key}] = std::move(converted);
        }
        return true;
      }
      case element_type::INT64: {
        int64_t number{0};
        if (value.get_int64().get(number)) return false;
        // The general reader keeps a number without a sign as unsigned.
        if (number >= 0) {
          out = static_cast<uint64_t>(number);
        } else {
          out = number;
        }
        return true;
      }
      case element_type::UINT64: {
        uint64_t number{0};
        if (value.get_uint64().get(number)) return false;
        out = number;
        return true;
      }
      case element_type::DOUBLE:
        return false;
      case element_type::STRING:
        out = std::string{StringOf(value)};
        return true;
      case element_type::BOOL: {
        bool flag{false};
        if (value.get_bool().get(flag)) return false;
        out = flag;
        return true;
      }
      case element_type::NULL_VALUE:
        out = nullptr;
        return true;
    }
    return false;
  }

  // An action of another kind, converted by the general rules.
  void Convert(element action, std::vector<FeedItem>& items) {
    json::Json value;
    if (!ToJson(action, value)) {
      unsure = true;
      return;
    }
    if (std::optional<json::Json> item = ConvertChatAction(value)) {
      FeedItem& entry = items.emplace_back();
      entry.item = std::move(*item);
    }
  }

  void Removal(const Member& holder, std::string_view key, RemovalKind kind,
               std::vector<FeedItem>& items) {
    std::string id = TextOr(holder, key);
    if (id.empty()) return;
    items.emplace_back().removal = vlo::Removal{kind, plx::PlatformId::YouTube, std::move(id)};
  }

  void Action(element action, std::vector<FeedItem>& items) {
    object actionObject;
    if (action.get_object().get(actionObject)) return;
    Member add, remove, markDeleted, removeByAuthor, markByAuthor;
    for (const auto field : actionObject) {
      const std::string_view key = field.key;
      if (key == "addChatItemAction") {
        add = field.value;
      } else if (key == "removeChatItemAction") {
        remove = field.value;
      } else if (key == "markChatItemAsDeletedAction") {
        markDeleted = field.value;
      } else if (key == "removeChatItemByAuthorAction") {
        removeByAuthor = field.value;
      } else if (key == "markChatItemsByAuthorAsDeletedAction") {
        markByAuthor = field.value;
      }
    }
    if (IsObject(add)) {
      object item;
      if (!AsObject(Find(add, "item"), item)) return;
      // The first renderer kind, in ConvertRenderer's order, that the item holds as an object.
      bool text = false;
      bool other = false;
      for (const auto field : item) {
        const std::string_view key = field.key;
        if (key == "liveChatTextMessageRenderer") {
          text = field.value.is_object();
        } else if (key == "liveChatPaidMessageRenderer" || key == "liveChatPaidStickerRenderer" ||
                   key == "liveChatMembershipItemRenderer" ||
                   key == "liveChatSponsorshipsGiftPurchaseAnnouncementRenderer") {
          // A repeated name's last value decides; any object of these kinds is converted fully.
          other = other || field.value.is_object();
        }
      }
      if (text) {
        object renderer;
        if (!AsObject(Find(item, "liveChatTextMessageRenderer"), renderer)) return;
        if (std::optional<FeedItem> converted = TextMessage(renderer)) {
          items.push_back(std::move(*converted));
        }
      } else if (other) {
        Convert(action, items);
      }
      return;
    }
    if (remove || markDeleted) {
      Removal(remove ? remove : markDeleted, "targetItemId", RemovalKind::Message, items);
    } else if (removeByAuthor || markByAuthor) {
      Removal(removeByAuthor ? removeByAuthor : markByAuthor, "externalChannelId",
              RemovalKind::Author, items);
    }
  }

  std::string Continuation(const Member& continuations) {
    array list;
    if (!AsArray(continuations, list)) return {};
    for (const element entry : list) {
      object entryObject;
      if (entry.get_object().get(entryObject)) continue;
      for (std::string_view kind :
           {"invalidationContinuationData", "timedContinuationData", "reloadContinuationData"}) {
        const Member data = Find(entryObject, kind);
        if (!IsObject(data)) continue;
        std::string token = TextOr(data, "continuation");
        if (!token.empty()) return token;
      }
    }
    return {};
  }
};

}  // namespace

std::optional<FeedAnswer> ReadContinuationFast(std::string_view body, int64_t nowMs) {
  // simdjson refuses raw control characters and lone surrogate escapes in strings, as the
  // general reader does, so such answers reach it.
  element root;
  object rootObject;
  if (Parser().parse(body.data(), body.size(), true).get(root) ||
      root.get_object().get(rootObject)) {
    return std::nullopt;
  }
  object live;
  if (!AsObject(Find(Find(rootObject, "continuationContents"), "liveChatContinuation"), live)) {
    return std::nullopt;
  }
  Member continuations;
  Member actions;
  for (const auto field : live) {
    if (field.key == "continuations") {
      continuations = field.value;
    } else if (field.key == "actions") {
      actions = field.value;
    }
  }
  Reader reader{.nowMs = nowMs};
  FeedAnswer answer;
  answer.continuation = reader.Continuation(continuations);
  array actionList;
  if (AsArray(actions, actionList)) {
    answer.items.reserve(actionList.size());
    for (const element action : actionList) {
      reader.Action(action, answer.items);
      if (reader.unsure) return std::nullopt;
    }
  }
  if (reader.unsure) return std::nullopt;
  return answer;
}

}  // namespace vlo
