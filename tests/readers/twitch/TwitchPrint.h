#pragma once

#include <ostream>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "readers/twitch/IrcMessage.h"

// Readable failure output for the records the Twitch tests compare whole.
namespace plx {
inline void PrintTo(const ChatMessage& m, std::ostream* os) {
  *os << "{id=" << m.id << " author=" << m.author << " body=" << m.body << " ts=" << m.timestampMs
      << " authorId=" << m.authorId << " msgId=" << m.platformMessageId << " tags=[";
  for (const auto& tag : m.tags) *os << tag << ",";
  *os << "]}";
}
}  // namespace plx

namespace vlo {
inline void PrintTo(const IrcMessage& m, std::ostream* os) {
  *os << "{tags=[";
  for (size_t i = 0; i < m.TagCount(); ++i) *os << m.TagAt(i).key << "=" << m.TagAt(i).value << ";";
  *os << "] prefix=" << m.Prefix() << " command=" << m.Command() << " params=[";
  for (size_t i = 0; i < m.ParamCount(); ++i) *os << m.Param(i) << ",";
  *os << "] trailing" << (m.HasTrailing() ? "=" : " absent ") << m.Trailing() << "}";
}
inline void PrintTo(const Removal& r, std::ostream* os) {
  *os << "{kind=" << static_cast<int>(r.kind) << " id=" << r.id << "}";
}
}  // namespace vlo
