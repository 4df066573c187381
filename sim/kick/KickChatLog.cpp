#include "sim/kick/KickChatLog.h"

#include "core/Json.h"

namespace vlo::sim {

void KickChatLog::Observe(std::string_view frame) {
  const json::Json doc = json::ParseObject(frame);
  const std::string event = json::TextOr(doc, "event");
  const bool message = event.ends_with("ChatMessageEvent");
  if (!message && !event.ends_with("MessageDeletedEvent")) return;
  const json::Json* raw = json::Find(doc, "data");
  const json::Json data = raw && raw->is_string()
                              ? json::ParseObject(raw->get_ref<const std::string&>())
                          : raw && raw->is_object() ? *raw
                                                    : json::Json::object();
  if (!message) {
    const std::string id = json::TextOr(json::ObjectMember(data, "message"), "id");
    if (KickLoggedMessage* deleted = Find(id)) deleted->deleted = true;
    return;
  }
  const json::Json& sender = json::ObjectMember(data, "sender");
  KickLoggedMessage logged{json::IntMember(data, "chatroom_id").value_or(0),
                           json::TextOr(data, "id"), json::TextOr(sender, "id"),
                           json::TextOr(sender, "username")};
  if (logged.id.empty()) return;  // nothing could name it
  messages_.push_back(std::move(logged));
  if (messages_.size() > kCapacity) messages_.pop_front();
}

KickLoggedMessage* KickChatLog::Find(std::string_view id) {
  if (id.empty()) return nullptr;
  for (auto it = messages_.rbegin(); it != messages_.rend(); ++it) {
    if (it->id == id) return &*it;
  }
  return nullptr;
}

std::string KickChatLog::UsernameOf(int64_t chatroomId, std::string_view userId) const {
  for (auto it = messages_.rbegin(); it != messages_.rend(); ++it) {
    if (!userId.empty() && it->senderId == userId && it->chatroomId == chatroomId) {
      return it->username;
    }
  }
  return {};
}

}  // namespace vlo::sim
