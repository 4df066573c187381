#pragma once

#include <boost/container/small_vector.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "alerts/TwitchTags.h"  // UnescapeTagValue

namespace vlo {

struct IrcTag {
  std::string_view key;
  std::string_view value;
};

// One parsed IRC line: IRCv3 tags (values unescaped, later duplicates replacing earlier values,
// kept in first-appearance order), the source prefix without its ":", the command, the middle
// parameters and the trailing parameter. The parts are views into the parsed line, except tag
// values that held escapes, which are unescaped into a buffer of the message. The line is the
// caller's for ParseIrcLine(line, out), so its views stay valid while both live unchanged; the
// message from ParseIrcLine(line) keeps a copy of the line and stands alone.
class IrcMessage {
 public:
  IrcMessage() = default;
  IrcMessage(const IrcMessage& other);
  IrcMessage(IrcMessage&& other) noexcept;
  IrcMessage& operator=(const IrcMessage& other);
  IrcMessage& operator=(IrcMessage&& other) noexcept;

  std::string_view Tag(std::string_view key) const;  // empty when absent
  bool HasTag(std::string_view key) const;
  size_t TagCount() const { return tags_.size(); }
  IrcTag TagAt(size_t index) const;

  std::string_view Prefix() const { return View(prefix_); }
  std::string_view Command() const { return View(command_); }
  size_t ParamCount() const { return params_.size(); }
  std::string_view Param(size_t index) const { return View(params_[index]); }
  std::string_view Trailing() const { return View(trailing_); }
  bool HasTrailing() const { return hasTrailing_; }

  // Compares the parsed content, not the buffer layout.
  bool operator==(const IrcMessage& other) const;

 private:
  friend bool ParseIrcLine(std::string_view line, IrcMessage& out);
  friend std::optional<IrcMessage> ParseIrcLine(std::string_view line);
  friend class TagScanner;
  // A part of the line, or with kUnescaped set in `pos` a part of `unescaped_`.
  struct Span {
    uint32_t pos{0};
    uint32_t len{0};
  };
  static constexpr uint32_t kUnescaped = uint32_t{1} << 31;
  std::string_view View(Span span) const {
    return (span.pos & kUnescaped) != 0
               ? std::string_view{unescaped_.data() + (span.pos & ~kUnescaped), span.len}
               : std::string_view{line_ + span.pos, span.len};
  }
  const std::pair<Span, Span>* FindTag(std::string_view key) const;
  void Clear();

  const char* line_{nullptr};  // the parsed line: the caller's, or owned_'s
  std::string owned_;          // the line, for a message that stands alone
  std::string unescaped_;      // tag values that held escapes, unescaped
  boost::container::small_vector<std::pair<Span, Span>, 32> tags_;
  boost::container::small_vector<Span, 4> params_;
  Span prefix_;
  Span command_;
  Span trailing_;
  bool hasTrailing_{false};
  bool ownsLine_{false};
};

// Parses one line; trailing CR and LF are ignored. Nothing for an empty line, tags without a
// following space, a prefix without a following space, or a missing command. The message keeps
// a copy of the line.
std::optional<IrcMessage> ParseIrcLine(std::string_view line);
// Same into an existing message, reusing its storage (the hot path: no allocation once the
// message has seen a line with as many escapes and tags); false when invalid. The message's
// views point into `line`, which must outlive their use.
bool ParseIrcLine(std::string_view line, IrcMessage& out);

}  // namespace vlo
