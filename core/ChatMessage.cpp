#include "core/ChatMessage.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

namespace plx {

bool HasTag(const ChatMessage& message, std::string_view tag) {
  return std::find(message.tags.begin(), message.tags.end(), tag) != message.tags.end();
}

bool IsViewerMessage(const ChatMessage& message) {
  return !HasTag(message, "outbound") && !HasTag(message, "system") && !HasTag(message, "event");
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string MakeLocalId(std::string_view prefix, int64_t timeMs) {
  static std::atomic<uint64_t> counter{0};
  const uint64_t n = ++counter;
  std::string id{prefix};
  id += std::to_string(timeMs);
  id += '-';
  id += std::to_string(n);
  return id;
}

std::string MakeLocalId(std::string_view prefix) { return MakeLocalId(prefix, nowMs()); }

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12; out-of-range months and
// days roll over as the C library's timegm would).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  // Normalise the month first so that month 13 is January of the next year.
  y += (m - 1) >= 0 ? (m - 1) / 12 : ((m - 1) - 11) / 12;
  m = ((m - 1) % 12 + 12) % 12 + 1;
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The fields of the usual exact form "YYYY-MM-DDTHH:MM:SS" not followed by a digit, read
// directly; the general reading below gives the same fields for it.
bool ReadPlainDateTime(std::string_view text, int (&fields)[6]) {
  constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() < kShape.size()) return false;
  if (text.size() > kShape.size() && text[kShape.size()] >= '0' && text[kShape.size()] <= '9') {
    return false;
  }
  int field{0};
  int value{0};
  for (size_t i = 0; i < kShape.size(); ++i) {
    const char c = text[i];
    if (kShape[i] == 'd') {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    } else {
      if (c != kShape[i]) return false;
      fields[field++] = value;
      value = 0;
    }
  }
  fields[field] = value;
  return true;
}

}  // namespace

int64_t ParseIsoTimeMs(std::string_view text) {
  int fields[6]{};
  if (!ReadPlainDateTime(text, fields)) {
    // sscanf needs a terminated buffer; the date part is short, so copy a bounded prefix.
    char buf[64];
    const size_t n = std::min(text.size(), sizeof buf - 1);
    std::copy_n(text.data(), n, buf);
    buf[n] = '\0';
    if (std::sscanf(buf, "%d-%d-%dT%d:%d:%d", &fields[0], &fields[1], &fields[2], &fields[3],
                    &fields[4], &fields[5]) != 6) {
      return 0;
    }
  }
  const auto [year, month, day, hour, minute, second] = fields;
  const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + int64_t{hour} * 3600 +
                          int64_t{minute} * 60 + second;
  if (seconds < 0) return 0;
  if (text.size() < 20) return seconds * 1000;

  int64_t millis = 0;
  const size_t dot = text.find('.', 19);
  if (dot != std::string_view::npos) {
    int digits = 0;
    for (size_t i = dot + 1; i < text.size() && digits < 3; ++i, ++digits) {
      const char c = text[i];
      if (c < '0' || c > '9') break;
      millis = millis * 10 + (c - '0');
    }
    if (digits == 1) millis *= 100;
    if (digits == 2) millis *= 10;
  }
  return seconds * 1000 + millis;
}

}  // namespace plx
