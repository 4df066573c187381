#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "core/ChatHub.h"
#include "core/RowTracker.h"
#include "logs/LogFiles.h"

namespace vlo {

struct ChatLogOptions {
  std::filesystem::path folder;  // see LogsFolder
  uint64_t maxFileBytes{64ull * 1024 * 1024};
  LogFiles::Opener open;  // empty: the file system
};

// Writes the chat into one plain-text file per day and channel (LogFormat.h) on a thread of its
// own. It follows the hub's changes: the change listener only raises a flag, and the writer
// takes a snapshot at most every kBatchMs, writes the rows that are new and marks the ones
// deleted since, and writes its files out at least every kFlushMs. A failed write is told once in
// the chat, logging pauses and is tried again every kRetryMs, and its return is told once too.
// All timing goes through the hub's clock.
class ChatLogWriter {
 public:
  static constexpr int64_t kBatchMs = 200;
  static constexpr int64_t kFlushMs = 2000;
  static constexpr int64_t kRetryMs = 30000;

  // Starts at once, from the rows the hub holds now: those are not written. `hub` outlives this.
  ChatLogWriter(ChatHub& hub, ChatLogOptions options);
  ~ChatLogWriter();  // Stop
  ChatLogWriter(const ChatLogWriter&) = delete;
  ChatLogWriter& operator=(const ChatLogWriter&) = delete;

  // Writes what has changed so far, flushes, and returns when that is done. Any thread but the
  // writer's; returns at once after Stop.
  void Flush();
  // Writes what has changed, flushes, closes the files and joins the thread. Window thread.
  void Stop();
  // True while logging is paused after a failed write (any thread).
  bool Paused() const { return paused_.load(); }

 private:
  void Run();
  // Turns the hub's changes into queued lines, unless paused.
  void Take(int64_t nowMs);
  void WriteOut(int64_t nowMs, bool stopping);

  ChatHub& hub_;
  Clock& clock_;
  uint64_t listener_{0};
  // Raised by the change listener on whichever thread changed the hub; shared so that a call
  // still under way after RemoveChangeListener touches nothing freed.
  std::shared_ptr<std::atomic<bool>> changed_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> flushAsked_{0};  // raised by Flush callers
  std::atomic<bool> paused_{false};      // written by the writer thread

  std::mutex flushLock_;  // guards flushDone_ and running_
  std::condition_variable flushed_;
  uint64_t flushDone_{0};
  bool running_{true};

  // The writer thread's own state.
  RowTracker tracker_;
  LogFiles files_;
  int64_t lastWriteMs_{0};
  int64_t retryAtMs_{0};
  bool resuming_{false};  // the retry is due: the next write that works is told
  bool told_{false};      // the pause has been told in the chat

  std::thread thread_;
};

}  // namespace vlo
