#include "updater/VerifyInstaller.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "updater/ReleaseVersion.h"

#ifndef VLO_MACHINE
#error "VLO_MACHINE names the machine the program is built for"
#endif

namespace plx {
namespace {

constexpr size_t kReadBytes = 65536;

// Closes the descriptor on every way out.
struct FileHandle {
  int fd{-1};
  ~FileHandle() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Hex(const unsigned char* bytes, unsigned length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0f];
  }
  return text;
}

// The value of the line that starts with `marker`, up to the line's end.
std::optional<std::string_view> MarkerValue(std::string_view head, std::string_view marker) {
  size_t at = 0;
  while (at < head.size()) {
    const size_t end = head.find('\n', at);
    if (end == std::string_view::npos) break;  // a cut-off last line counts for nothing
    const std::string_view line = head.substr(at, end - at);
    if (line.starts_with(marker)) return line.substr(marker.size());
    at = end + 1;
  }
  return std::nullopt;
}

enum class HashOutcome { Done, Cancelled, ReadFailed, HashFailed };

HashOutcome HashFile(int fd, const std::atomic<bool>& cancel, std::string* digest) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context{EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free};
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    return HashOutcome::HashFailed;
  }
  std::vector<char> buffer(kReadBytes);
  for (;;) {
    if (cancel.load()) return HashOutcome::Cancelled;
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return HashOutcome::ReadFailed;
    if (n == 0) break;
    if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(n)) != 1) {
      return HashOutcome::HashFailed;
    }
  }
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context.get(), value, &length) != 1) return HashOutcome::HashFailed;
  *digest = Hex(value, length);
  return HashOutcome::Done;
}

}  // namespace

std::string_view ThisMachine() { return VLO_MACHINE; }

bool InstallerVersionMatches(std::string_view head, std::string_view version) {
  if (!ParseVersion(version) || !head.starts_with(kInstallerShebang)) return false;
  return MarkerValue(head, kInstallerVersionMarker) == version &&
         MarkerValue(head, kInstallerMachineMarker) == ThisMachine();
}

bool VerifyInstaller(const std::filesystem::path& file, const UpdateRelease& release,
                     const std::atomic<bool>& cancel, std::string* error) {
  // Non-blocking, so that something other than a file at the path cannot hold the open up.
  FileHandle handle{::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (handle.fd < 0) {
    *error = "Could not read the downloaded installer.";
    return false;
  }
  struct stat info {};
  if (::fstat(handle.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != release.size) {
    *error = "Downloaded installer size does not match. Check again to retry.";
    return false;
  }
  ::posix_fadvise(handle.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  std::string digest;
  switch (HashFile(handle.fd, cancel, &digest)) {
    case HashOutcome::Cancelled:
      *error = "Update cancelled.";
      return false;
    case HashOutcome::ReadFailed:
      *error = "Could not read the installer.";
      return false;
    case HashOutcome::HashFailed:
      *error = "Could not verify the installer checksum.";
      return false;
    case HashOutcome::Done:
      break;
  }
  if (digest != release.sha256) {
    *error = "Installer checksum does not match. The file will not run.";
    return false;
  }

  std::string head(kInstallerHeadBytes, '\0');
  const ssize_t n = ::pread(handle.fd, head.data(), head.size(), 0);
  head.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (!InstallerVersionMatches(head, release.version)) {
    *error = "The download is not the expected installer version.";
    return false;
  }
  return true;
}

}  // namespace plx
