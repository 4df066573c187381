#include "app/ChatPrinter.h"

#include <ctime>

#include "core/Json.h"

namespace vlo {

namespace {

const char* ShortName(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return "YT";
    case plx::PlatformId::Kick:
      return "KI";
    default:
      return "TW";
  }
}

std::string LocalClock(int64_t ms) {
  if (ms <= 0) return "--:--";
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char buf[8];
  std::strftime(buf, sizeof buf, "%H:%M", &local);
  return buf;
}

}  // namespace

std::string ChatPrinter::RowJson(const plx::ChatRow& row) {
  json::Json j = {
      {"type", "row"},
      {"id", row.id},
      {"platform", plx::PlatformKey(row.platform)},
      {"author", row.author},
      {"body", row.body},
      {"timestampMs", row.timestampMs},
      {"tags", row.tags},
      {"authorId", row.authorId},
      {"platformMessageId", row.platformMessageId},
      {"deleted", row.deleted},
  };
  return json::Dump(j);
}

std::string ChatPrinter::RowText(const plx::ChatRow& row) {
  std::string line = LocalClock(row.timestampMs) + " [" + ShortName(row.platform) + "] ";
  if (plx::HasTag(row, "system")) {
    line += "-- " + row.body;
  } else if (plx::HasTag(row, "event")) {
    line += "** " + row.body;
  } else if (plx::HasTag(row, "outbound")) {
    line += "> " + row.author + ": " + row.body;
  } else if (plx::HasTag(row, "action")) {
    line += "* " + row.author + " " + row.body;
  } else {
    line += row.author + ": " + row.body;
  }
  if (row.deleted) line += " (deleted)";
  return line;
}

void ChatPrinter::PrintStatus(plx::PlatformId platform, const PlatformStatus& status) {
  if (json_) {
    json::Json j = {{"type", "status"},
                    {"platform", plx::PlatformKey(platform)},
                    {"state", ConnectionStateName(status.state)},
                    {"channel", status.channel},
                    {"detail", status.detail},
                    {"signedIn", status.signedIn},
                    {"canSend", status.canSend}};
    out_ << json::Dump(j) << '\n';
  } else {
    out_ << "[" << ShortName(platform) << "] status: " << ConnectionStateName(status.state);
    if (!status.channel.empty()) out_ << " · " << status.channel;
    if (!status.detail.empty()) out_ << " — " << status.detail;
    out_ << '\n';
  }
}

void ChatPrinter::Update(const std::vector<plx::ChatRow>& rows,
                         const std::array<PlatformStatus, 3>& statuses) {
  for (size_t i = 0; i < statuses.size(); ++i) {
    const PlatformStatus& s = statuses[i];
    const PlatformStatus& old = statuses_[i];
    const bool changed = first_ || s.state != old.state || s.channel != old.channel ||
                         s.detail != old.detail || s.signedIn != old.signedIn ||
                         s.canSend != old.canSend;
    if (changed) PrintStatus(plx::kReadPlatforms[i], s);
    statuses_[i] = s;
  }
  first_ = false;

  std::unordered_set<std::string> now;
  now.reserve(rows.size());
  for (const plx::ChatRow& row : rows) {
    now.insert(row.id);
    if (!seen_.contains(row.id)) {
      out_ << (json_ ? RowJson(row) : RowText(row)) << '\n';
      if (row.deleted) deleted_.insert(row.id);
    } else if (row.deleted && !deleted_.contains(row.id)) {
      deleted_.insert(row.id);
      if (json_) {
        out_ << json::Dump(json::Json{{"type", "deleted"}, {"id", row.id}}) << '\n';
      } else {
        out_ << RowText(row) << '\n';
      }
    }
  }
  std::erase_if(deleted_, [&](const std::string& id) { return !now.contains(id); });
  seen_ = std::move(now);
  out_.flush();
}

}  // namespace vlo
