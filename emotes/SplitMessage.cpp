#include "emotes/SplitMessage.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace vlo {
namespace {

constexpr std::string_view kKickTag{"kemote="};
constexpr std::string_view kTwitchTag{"emotes="};

// Characters chat clients append to defeat duplicate-message filters; ignored for matching.
constexpr std::string_view kInvisible[] = {
    "\xF3\xA0\x80\x80",  // U+E0000
    "\xE2\x80\x8B",      // U+200B
    "\xE2\x80\x8C",      // U+200C
    "\xE2\x80\x8D",      // U+200D
    "\xE2\x81\xA0",      // U+2060
    "\xEF\xBB\xBF",      // U+FEFF
    "\xCD\x8F",          // U+034F
};

struct ByteRange {
  size_t begin{0};
  size_t end{0};
  std::string_view id;
};

using KickNames = std::unordered_map<std::string_view, std::string_view>;  // name -> id

KickNames CollectKickNames(const plx::ChatMessage& message) {
  KickNames names;
  for (const std::string& tag : message.tags) {
    std::string_view rest{tag};
    if (!rest.starts_with(kKickTag)) continue;
    rest.remove_prefix(kKickTag.size());
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view id = rest.substr(0, colon);
    const std::string_view name = rest.substr(colon + 1);
    if (!IsEmoteId(id) || name.empty()) continue;
    names.try_emplace(name, id);
  }
  return names;
}

// Byte offset of the start of every code point, plus the text's size at the end.
std::vector<size_t> CodePointStarts(std::string_view text) {
  std::vector<size_t> starts;
  starts.reserve(text.size() + 1);
  size_t i = 0;
  while (i < text.size()) {
    starts.push_back(i);
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if ((lead & 0xE0) == 0xC0) {
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
    }
    i = std::min(text.size(), i + length);
  }
  starts.push_back(text.size());
  return starts;
}

// Reads "<digits>-<digits>" (leading spaces allowed, trailing text ignored).
bool ReadRange(std::string_view text, uint64_t& start, uint64_t& end) {
  auto readNumber = [&text](uint64_t& value) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    value = 0;
    while (!text.empty() && text.front() >= '0' && text.front() <= '9') {
      value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text.front() - '0'),
                                 uint64_t{1} << 40);
      text.remove_prefix(1);
    }
    return true;
  };
  if (!readNumber(start)) return false;
  if (text.empty() || text.front() != '-') return false;
  text.remove_prefix(1);
  return readNumber(end);
}

std::vector<ByteRange> CollectTwitchRanges(const plx::ChatMessage& message) {
  std::vector<ByteRange> ranges;
  if (message.platform != plx::PlatformId::Twitch) return ranges;
  std::vector<size_t> starts;
  for (const std::string& tag : message.tags) {
    std::string_view value{tag};
    if (!value.starts_with(kTwitchTag)) continue;
    value.remove_prefix(kTwitchTag.size());
    if (starts.empty()) starts = CodePointStarts(message.body);
    const uint64_t count = starts.size() - 1;
    while (!value.empty()) {
      const size_t slash = value.find('/');
      const std::string_view entry = value.substr(0, slash);
      value = slash == std::string_view::npos ? std::string_view{} : value.substr(slash + 1);
      const size_t colon = entry.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string_view id = entry.substr(0, colon);
      if (!IsEmoteId(id)) continue;
      std::string_view list = entry.substr(colon + 1);
      while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        uint64_t start{0};
        uint64_t end{0};
        if (!ReadRange(item, start, end) || start > end || end >= count) continue;
        ranges.push_back(ByteRange{starts[start], starts[end + 1], id});
      }
    }
  }
  std::stable_sort(ranges.begin(), ranges.end(),
                   [](const ByteRange& a, const ByteRange& b) { return a.begin < b.begin; });
  return ranges;
}

std::string LookupForm(std::string_view word) {
  std::string form{word};
  for (std::string_view invisible : kInvisible) {
    size_t at = 0;
    while ((at = form.find(invisible, at)) != std::string::npos) form.erase(at, invisible.size());
  }
  return form;
}

class RunBuilder {
 public:
  RunBuilder(const KickNames& kick, const EmoteLookup& lookup, const NativeImageHosts& hosts)
      : kick_{kick}, lookup_{lookup}, hosts_{hosts} {}

  void AppendText(std::string_view text) {
    if (text.empty()) return;
    if (runs_.empty() || runs_.back().isEmote) runs_.push_back(EmoteRun{});
    runs_.back().text += text;
  }

  void AppendEmote(EmoteRun run) {
    run.isEmote = true;
    runs_.push_back(std::move(run));
  }

  void Words(std::string_view piece) {
    size_t i = 0;
    while (i < piece.size()) {
      if (piece[i] == ' ') {
        const size_t end = piece.find_first_not_of(' ', i);
        const size_t stop = end == std::string_view::npos ? piece.size() : end;
        AppendText(piece.substr(i, stop - i));
        i = stop;
        continue;
      }
      const size_t end = piece.find(' ', i);
      const size_t stop = end == std::string_view::npos ? piece.size() : end;
      Word(piece.substr(i, stop - i));
      i = stop;
    }
  }

  std::vector<EmoteRun> Finish() {
    for (size_t i = 0; i < runs_.size(); ++i) {
      EmoteRun& run = runs_[i];
      if (!run.isEmote || !run.overlay) continue;
      if (i >= 1 && runs_[i - 1].isEmote) continue;
      if (i >= 2 && runs_[i - 2].isEmote && !runs_[i - 1].isEmote &&
          runs_[i - 1].text.find_first_not_of(' ') == std::string::npos) {
        runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(i - 1));
        --i;
        continue;
      }
      run.overlay = false;
    }
    return std::move(runs_);
  }

 private:
  void Word(std::string_view word) {
    std::string form = LookupForm(word);
    if (form.empty()) return;
    if (auto kick = kick_.find(form); kick != kick_.end()) {
      AppendEmote(EmoteRun{.text = form,
                           .imageKey = KickEmoteKey(hosts_, kick->second),
                           .source = EmoteSource::Kick});
      return;
    }
    if (lookup_) {
      if (std::optional<EmoteDef> def = lookup_(form)) {
        AppendEmote(EmoteRun{.text = std::move(form),
                             .imageKey = def->url,
                             .source = def->source,
                             .overlay = def->zeroWidth,
                             .channel = def->channel});
        return;
      }
    }
    AppendText(word);
  }

  const KickNames& kick_;
  const EmoteLookup& lookup_;
  const NativeImageHosts& hosts_;
  std::vector<EmoteRun> runs_;
};

}  // namespace

std::vector<EmoteRun> SplitMessage(const plx::ChatMessage& message, const EmoteLookup& lookup,
                                   const NativeImageHosts& hosts) {
  const KickNames kick = CollectKickNames(message);
  const std::vector<ByteRange> ranges = CollectTwitchRanges(message);
  const std::string_view body{message.body};
  RunBuilder builder{kick, lookup, hosts};
  size_t p = 0;
  for (const ByteRange& range : ranges) {
    if (range.begin < p) continue;
    builder.Words(body.substr(p, range.begin - p));
    builder.AppendEmote(
        EmoteRun{.text = std::string{body.substr(range.begin, range.end - range.begin)},
                 .imageKey = TwitchEmoteKey(hosts, range.id),
                 .source = EmoteSource::Twitch});
    p = range.end;
  }
  builder.Words(body.substr(p));
  return builder.Finish();
}

}  // namespace vlo
