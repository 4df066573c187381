#include "logs/ChatLogWriter.h"

#include "logs/LogFormat.h"

namespace vlo {

ChatLogWriter::ChatLogWriter(ChatHub& hub, ChatLogOptions options)
    : hub_{hub},
      clock_{hub.GetClock()},
      changed_{std::make_shared<std::atomic<bool>>(false)},
      tracker_{{}, RowTracker::EarlyDeleted::Report},
      files_{options.folder, options.maxFileBytes, std::move(options.open)} {
  listener_ = hub_.AddChangeListener([changed = changed_] { changed->store(true); });
  tracker_.Update(hub_.Snapshot());
  lastWriteMs_ = clock_.NowMs();
  thread_ = std::thread{[this] { Run(); }};
}

ChatLogWriter::~ChatLogWriter() { Stop(); }

void ChatLogWriter::Stop() {
  if (!thread_.joinable()) return;
  hub_.RemoveChangeListener(listener_);
  stopping_.store(true);
  thread_.join();
}

void ChatLogWriter::Flush() {
  std::unique_lock lock{flushLock_};
  if (!running_) return;
  const uint64_t ticket = flushAsked_.fetch_add(1) + 1;
  flushed_.wait(lock, [&] { return flushDone_ >= ticket || !running_; });
}

void ChatLogWriter::Run() {
  uint64_t handled = 0;  // flush requests answered
  while (true) {
    clock_.WaitWhile(kBatchMs, [&] { return !stopping_.load() && flushAsked_.load() == handled; });
    const bool stopping = stopping_.load();
    const uint64_t asked = flushAsked_.load();
    const bool urgent = stopping || asked != handled;
    const int64_t nowMs = clock_.NowMs();

    bool take = changed_->exchange(false) || urgent;
    if (paused_.load() && nowMs >= retryAtMs_) {
      paused_.store(false);
      resuming_ = true;
      take = true;
    }
    if (take) Take(nowMs);
    if (urgent || nowMs - lastWriteMs_ >= kFlushMs) {
      WriteOut(nowMs, stopping);
      lastWriteMs_ = nowMs;
    }
    if (asked != handled) {
      handled = asked;
      std::lock_guard lock{flushLock_};
      flushDone_ = asked;
      flushed_.notify_all();
    }
    if (stopping) break;
  }
  files_.CloseIdle(INT64_MAX);
  std::lock_guard lock{flushLock_};
  running_ = false;
  flushed_.notify_all();
}

void ChatLogWriter::Take(int64_t nowMs) {
  if (paused_.load()) return;  // the rows wait in the hub until the retry
  const std::vector<plx::ChatRow> snapshot = hub_.Snapshot();
  const ChatTargets targets = hub_.Targets();
  const RowTracker::Changes changes = tracker_.Update(snapshot);
  if (changes.Empty()) return;

  const LocalStamp now = LocalStampOf(nowMs);
  for (const plx::ChatRow* row : changes.added) {
    const LocalStamp stamp = row->timestampMs != 0 ? LocalStampOf(row->timestampMs) : now;
    for (const plx::PlatformId platform : LogPlatformsOf(*row)) {
      files_.Append(LogBaseName(stamp.date, platform, LogChannel(targets, platform)),
                    LogLine(*row, platform, stamp.time), nowMs);
    }
  }
  // A deletion is written when it is seen, into that day's file.
  for (const plx::ChatRow* row : changes.removed) {
    for (const plx::PlatformId platform : LogPlatformsOf(*row)) {
      files_.Append(LogBaseName(now.date, platform, LogChannel(targets, platform)),
                    DeletionLine(*row, platform, now.time), nowMs);
    }
  }
}

void ChatLogWriter::WriteOut(int64_t nowMs, bool stopping) {
  if (!files_.HasQueued()) {
    files_.CloseIdle(nowMs - 60'000);
    return;
  }
  const LogFiles::FlushResult result = files_.Flush();
  if (result.error != 0) {
    paused_.store(true);
    retryAtMs_ = nowMs + kRetryMs;
    resuming_ = false;
    if (!told_ && !stopping) {
      told_ = true;
      hub_.PostSystemLine(plx::PlatformId::Twitch, LogPausedText(result.error, files_.Folder()));
    }
    return;
  }
  files_.CloseIdle(nowMs - 60'000);
  if (resuming_ && result.written > 0) {
    resuming_ = false;
    told_ = false;
    if (!stopping) hub_.PostSystemLine(plx::PlatformId::Twitch, std::string{kLogResumedText});
  }
}

}  // namespace vlo
