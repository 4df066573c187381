#include "readers/twitch/IrcMessage.h"

#include <cstring>
#include <limits>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vlo {
namespace {

constexpr size_t kNone = std::string_view::npos;

// Bit i is set when p[i] is a byte the tag section is split at: ';', '=', '\' or ' '.
#if defined(__SSE2__)
uint32_t SplitBytes16(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i semicolon = _mm_cmpeq_epi8(v, _mm_set1_epi8(';'));
  const __m128i equals = _mm_cmpeq_epi8(v, _mm_set1_epi8('='));
  const __m128i backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
  const __m128i space = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
  const __m128i any = _mm_or_si128(_mm_or_si128(semicolon, equals), _mm_or_si128(backslash, space));
  return static_cast<uint32_t>(_mm_movemask_epi8(any));
}
#else
uint32_t SplitBytes16(const char* p) {
  uint32_t mask{0};
  for (uint32_t i = 0; i < 16; ++i) {
    const char c = p[i];
    if (c == ';' || c == '=' || c == '\\' || c == ' ') mask |= uint32_t{1} << i;
  }
  return mask;
}
#endif

// Calls on(position, byte) for every split byte of `text` in order, sixteen bytes at a time,
// until `on` returns false; returns that position, or kNone when the text ran out first.
template <typename OnByte>
size_t ForEachSplitByte(std::string_view text, OnByte&& on) {
  for (size_t block = 0; block < text.size(); block += 16) {
    uint32_t mask;
    if (text.size() - block >= 16) {
      mask = SplitBytes16(text.data() + block);
    } else {
      char tail[16]{};  // NUL is no split byte
      std::memcpy(tail, text.data() + block, text.size() - block);
      mask = SplitBytes16(tail);
    }
    for (; mask != 0; mask &= mask - 1) {
      const size_t at = block + static_cast<size_t>(__builtin_ctz(mask));
      if (!on(at, text[at])) return at;
    }
  }
  return kNone;
}

// A bit of a 256-bit filter for a key: most lines have no duplicate keys, and a clear bit
// proves it without comparing against the keys seen so far.
uint32_t KeyBit(std::string_view key) {
  if (key.empty()) return 0;
  const auto first = static_cast<unsigned char>(key.front());
  const auto last = static_cast<unsigned char>(key.back());
  return (static_cast<uint32_t>(key.size()) * 61 + first * 7 + last * 31) & 255;
}

}  // namespace

IrcMessage::IrcMessage(const IrcMessage& other)
    : line_{other.line_},
      owned_{other.owned_},
      unescaped_{other.unescaped_},
      tags_{other.tags_},
      params_{other.params_},
      prefix_{other.prefix_},
      command_{other.command_},
      trailing_{other.trailing_},
      hasTrailing_{other.hasTrailing_},
      ownsLine_{other.ownsLine_} {
  if (ownsLine_) line_ = owned_.data();
}

IrcMessage::IrcMessage(IrcMessage&& other) noexcept
    : line_{other.line_},
      owned_{std::move(other.owned_)},
      unescaped_{std::move(other.unescaped_)},
      tags_{std::move(other.tags_)},
      params_{std::move(other.params_)},
      prefix_{other.prefix_},
      command_{other.command_},
      trailing_{other.trailing_},
      hasTrailing_{other.hasTrailing_},
      ownsLine_{other.ownsLine_} {
  if (ownsLine_) line_ = owned_.data();
}

IrcMessage& IrcMessage::operator=(const IrcMessage& other) {
  if (this != &other) *this = IrcMessage{other};
  return *this;
}

IrcMessage& IrcMessage::operator=(IrcMessage&& other) noexcept {
  line_ = other.line_;
  owned_ = std::move(other.owned_);
  unescaped_ = std::move(other.unescaped_);
  tags_ = std::move(other.tags_);
  params_ = std::move(other.params_);
  prefix_ = other.prefix_;
  command_ = other.command_;
  trailing_ = other.trailing_;
  hasTrailing_ = other.hasTrailing_;
  ownsLine_ = other.ownsLine_;
  if (ownsLine_) line_ = owned_.data();
  return *this;
}

std::string_view IrcMessage::Tag(std::string_view key) const {
  const auto* tag = FindTag(key);
  return tag ? View(tag->second) : std::string_view{};
}

bool IrcMessage::HasTag(std::string_view key) const { return FindTag(key) != nullptr; }

IrcTag IrcMessage::TagAt(size_t index) const {
  return {View(tags_[index].first), View(tags_[index].second)};
}

const std::pair<IrcMessage::Span, IrcMessage::Span>* IrcMessage::FindTag(
    std::string_view key) const {
  for (const auto& tag : tags_) {
    if (tag.first.len == key.size() && View(tag.first) == key) return &tag;
  }
  return nullptr;
}

bool IrcMessage::operator==(const IrcMessage& other) const {
  if (TagCount() != other.TagCount() || ParamCount() != other.ParamCount()) return false;
  for (size_t i = 0; i < TagCount(); ++i) {
    if (TagAt(i).key != other.TagAt(i).key || TagAt(i).value != other.TagAt(i).value) {
      return false;
    }
  }
  for (size_t i = 0; i < ParamCount(); ++i) {
    if (Param(i) != other.Param(i)) return false;
  }
  return Prefix() == other.Prefix() && Command() == other.Command() &&
         Trailing() == other.Trailing() && hasTrailing_ == other.hasTrailing_;
}

void IrcMessage::Clear() {
  line_ = nullptr;
  unescaped_.clear();
  tags_.clear();
  params_.clear();
  prefix_ = command_ = trailing_ = {};
  hasTrailing_ = false;
  ownsLine_ = false;
}

// Splits the tag section into items and stores each; one pass over the section.
class TagScanner {
 public:
  TagScanner(std::string_view line, IrcMessage& out) : line_{line}, out_{out} {}

  // The position of the space that ends the tags (the line starts with "@"), or kNone.
  size_t Scan() {
    size_t itemStart{1};
    size_t equals{kNone};
    bool escaped{false};
    const size_t end = ForEachSplitByte(line_.substr(1), [&](size_t at, char c) {
      ++at;  // from the tag section to the line
      if (c == '=') {
        if (equals == kNone) equals = at;
        return true;
      }
      if (c == '\\') {
        escaped = escaped || equals != kNone;
        return true;
      }
      if (at > itemStart) Add(itemStart, equals, at, escaped);
      itemStart = at + 1;
      equals = kNone;
      escaped = false;
      return c == ';';
    });
    return end == kNone ? kNone : end + 1;
  }

 private:
  using Span = IrcMessage::Span;

  static Span SpanOf(size_t pos, size_t len) {
    return {static_cast<uint32_t>(pos), static_cast<uint32_t>(len)};
  }

  // The item [start, end) with its first "=" at `equals` (kNone when it has none).
  void Add(size_t start, size_t equals, size_t end, bool escaped) {
    const size_t keyEnd = equals == kNone ? end : equals;
    const Span key = SpanOf(start, keyEnd - start);
    Span value;
    if (equals != kNone) {
      const std::string_view raw = line_.substr(equals + 1, end - equals - 1);
      if (escaped) {
        std::string& buffer = out_.unescaped_;
        const size_t at = buffer.size();
        AppendUnescapedTagValue(buffer, raw);
        value = SpanOf(at | IrcMessage::kUnescaped, buffer.size() - at);
      } else {
        value = SpanOf(equals + 1, raw.size());
      }
    }
    const std::string_view keyText = line_.substr(start, keyEnd - start);
    const uint32_t bit = KeyBit(keyText);
    uint64_t& word = seen_[bit >> 6];
    const uint64_t flag = uint64_t{1} << (bit & 63);
    if ((word & flag) != 0) {
      for (auto& tag : out_.tags_) {
        if (tag.first.len == key.len && out_.View(tag.first) == keyText) {
          tag.second = value;  // a later duplicate replaces the value in place
          return;
        }
      }
    }
    word |= flag;
    out_.tags_.emplace_back(key, value);
  }

  std::string_view line_;
  IrcMessage& out_;
  uint64_t seen_[4]{};
};

bool ParseIrcLine(std::string_view line, IrcMessage& out) {
  using Span = IrcMessage::Span;
  out.Clear();
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.empty() || line.size() >= IrcMessage::kUnescaped) return false;
  out.line_ = line.data();
  const char* const base = line.data();
  const auto spanOf = [base](std::string_view part) {
    return Span{static_cast<uint32_t>(part.data() - base), static_cast<uint32_t>(part.size())};
  };

  if (line.front() == '@') {
    const size_t space = TagScanner{line, out}.Scan();
    if (space == kNone) return false;
    line.remove_prefix(space);
  }

  const auto skipSpaces = [&line] {
    const size_t n = line.find_first_not_of(' ');
    line = n == std::string_view::npos ? std::string_view{} : line.substr(n);
  };
  skipSpaces();
  if (line.starts_with(':')) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    out.prefix_ = spanOf(line.substr(1, space - 1));
    line.remove_prefix(space);
    skipSpaces();
  }
  const size_t commandEnd = line.find(' ');
  out.command_ = spanOf(line.substr(0, commandEnd));
  if (out.command_.len == 0) return false;
  line = commandEnd == std::string_view::npos ? std::string_view{} : line.substr(commandEnd);
  for (skipSpaces(); !line.empty(); skipSpaces()) {
    if (line.front() == ':') {
      out.trailing_ = spanOf(line.substr(1));
      out.hasTrailing_ = true;
      break;
    }
    const size_t end = line.find(' ');
    out.params_.push_back(spanOf(line.substr(0, end)));
    line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
  }
  return true;
}

std::optional<IrcMessage> ParseIrcLine(std::string_view line) {
  IrcMessage message;
  message.owned_.assign(line);
  if (!ParseIrcLine(message.owned_, message)) return std::nullopt;
  message.ownsLine_ = true;
  return message;
}

}  // namespace vlo
