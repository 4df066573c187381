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
// parameters and the trailing parameter. The message owns its text in one buffer; the views it
// hands out stay valid while it lives unchanged. Tags are found by a linear scan: a line has a
// couple of dozen at most.
class IrcMessage {
 public:
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
  struct Span {
    uint32_t pos{0};
    uint32_t len{0};
  };
  std::string_view View(Span span) const { return {text_.data() + span.pos, span.len}; }
  const std::pair<Span, Span>* FindTag(std::string_view key) const;
  void Clear();

  std::string text_;  // unescaped tag keys and values, then the rest of the line
  boost::container::small_vector<std::pair<Span, Span>, 24> tags_;
  boost::container::small_vector<Span, 4> params_;
  Span prefix_;
  Span command_;
  Span trailing_;
  bool hasTrailing_{false};
};

// Parses one line; trailing CR and LF are ignored. Nothing for an empty line, tags without a
// following space, a prefix without a following space, or a missing command.
std::optional<IrcMessage> ParseIrcLine(std::string_view line);
// Same into an existing message, reusing its storage (the hot path); false when invalid.
bool ParseIrcLine(std::string_view line, IrcMessage& out);

}  // namespace vlo
