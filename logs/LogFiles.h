#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace vlo {

// The open files of the chat logs: lines are queued per file and written out by Flush, which
// opens (and creates) the files as needed. A file that holds `maxFileBytes` takes no further
// lines: they go to the next part, "… (2).log", "… (3).log". Used by one thread.
class LogFiles {
 public:
  // Opens a log file for appending, creating it when missing: a file descriptor, or -1 with
  // errno set. Empty: the file system.
  using Opener = std::function<int(const std::filesystem::path& path)>;

  struct FlushResult {
    int error{0};       // errno of the first failure; 0 when everything was written
    size_t written{0};  // bytes written
  };

  LogFiles(std::filesystem::path folder, uint64_t maxFileBytes, Opener open = {});
  ~LogFiles();  // closes the files; lines not written out are dropped
  LogFiles(const LogFiles&) = delete;
  LogFiles& operator=(const LogFiles&) = delete;

  // Queues `line` and a line feed for the log named `base` (see LogBaseName).
  void Append(const std::string& base, std::string_view line, int64_t nowMs);
  // Writes every queued line. On a failure the lines not yet written are dropped and every
  // file is closed, so that the next flush opens them afresh.
  FlushResult Flush();
  // Closes the files nothing was queued for since `beforeMs`.
  void CloseIdle(int64_t beforeMs);
  bool HasQueued() const;

  const std::filesystem::path& Folder() const { return folder_; }

 private:
  struct File {
    int fd{-1};
    int part{1};
    uint64_t size{0};  // bytes in the open part
    std::string queued;
    int64_t lastUsedMs{0};
  };
  // Opens the first part of `base` from file.part on that still has room. 0 or an errno.
  int OpenPart(const std::string& base, File& file);
  int Write(const std::string& base, File& file);
  void CloseAll();

  std::filesystem::path folder_;
  uint64_t maxFileBytes_;
  Opener open_;
  std::map<std::string, File> files_;  // by base name
};

}  // namespace vlo
