#include "logs/LogFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "logs/LogFormat.h"

namespace vlo {

namespace {

int OpenForAppending(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}

// 0, or the errno of the failed write.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

}  // namespace

LogFiles::LogFiles(std::filesystem::path folder, uint64_t maxFileBytes, Opener open)
    : folder_{std::move(folder)},
      maxFileBytes_{maxFileBytes},
      open_{open ? std::move(open) : Opener{OpenForAppending}} {}

LogFiles::~LogFiles() { CloseAll(); }

void LogFiles::Append(const std::string& base, std::string_view line, int64_t nowMs) {
  File& file = files_[base];
  file.queued.append(line).push_back('\n');
  file.lastUsedMs = nowMs;
}

bool LogFiles::HasQueued() const {
  for (const auto& [base, file] : files_) {
    if (!file.queued.empty()) return true;
  }
  return false;
}

int LogFiles::OpenPart(const std::string& base, File& file) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  while (true) {
    const int fd = open_(folder_ / LogFileName(base, file.part));
    if (fd < 0) return errno != 0 ? errno : EIO;
    struct stat info {};
    const uint64_t size = ::fstat(fd, &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    if (size < maxFileBytes_ || maxFileBytes_ == 0) {
      file.fd = fd;
      file.size = size;
      return 0;
    }
    ::close(fd);
    ++file.part;
  }
}

int LogFiles::Write(const std::string& base, File& file) {
  const std::string_view queued{file.queued};
  size_t pos = 0;
  while (pos < queued.size()) {
    if (file.fd < 0) {
      if (const int error = OpenPart(base, file)) return error;
    }
    // Whole lines that fit; one line longer than a whole file goes into an empty part alone.
    size_t end = pos;
    while (end < queued.size()) {
      const size_t next = queued.find('\n', end) + 1;
      if (file.size + (next - pos) > maxFileBytes_ && (file.size > 0 || end > pos)) break;
      end = next;
    }
    if (end == pos) {
      ::close(file.fd);
      file.fd = -1;
      ++file.part;
      continue;
    }
    if (const int error = WriteAll(file.fd, queued.substr(pos, end - pos))) return error;
    file.size += end - pos;
    pos = end;
  }
  file.queued.clear();
  return 0;
}

LogFiles::FlushResult LogFiles::Flush() {
  FlushResult result;
  for (auto& [base, file] : files_) {
    if (file.queued.empty()) continue;
    const size_t bytes = file.queued.size();
    result.error = Write(base, file);
    if (result.error != 0) break;
    result.written += bytes;
  }
  if (result.error != 0) CloseAll();
  return result;
}

void LogFiles::CloseIdle(int64_t beforeMs) {
  std::erase_if(files_, [beforeMs](auto& entry) {
    const File& file = entry.second;
    if (!file.queued.empty() || file.lastUsedMs >= beforeMs) return false;
    if (file.fd >= 0) ::close(file.fd);
    return true;
  });
}

void LogFiles::CloseAll() {
  for (auto& [base, file] : files_) {
    if (file.fd >= 0) ::close(file.fd);
  }
  files_.clear();
}

}  // namespace vlo
