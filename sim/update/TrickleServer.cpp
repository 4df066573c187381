#include "sim/update/TrickleServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace vlo::sim {
namespace {

constexpr int kTickMs = 20;

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

TrickleServer::TrickleServer(Script script) : script_{std::move(script)} {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;  // Port() stays 0: every connection is refused
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread{[this] { Serve(); }};
}

TrickleServer::~TrickleServer() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) ::close(listener_);
}

std::string TrickleServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

bool TrickleServer::Pause(int ms) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds{ms};
  while (!stopping_.load()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    ::poll(nullptr, 0, static_cast<int>(std::min<int64_t>(left.count(), kTickMs)));
  }
  return false;
}

void TrickleServer::Serve() {
  while (!stopping_.load()) {
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kTickMs) <= 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++requests_;
    Answer(fd);
    ::close(fd);
  }
}

void TrickleServer::Answer(int fd) {
  // The request itself does not matter; its headers are read so that the client is not reset.
  std::string request;
  while (request.find("\r\n\r\n") == std::string::npos && !stopping_.load()) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, kTickMs) <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return;
    request.append(chunk, static_cast<size_t>(n));
  }
  const std::string& body = script_.body;
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Content-Length: " +
      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  if (!SendAll(fd, head)) return;
  const size_t end = std::min(body.size(), script_.cutAfter.value_or(body.size()));
  for (size_t at = 0; at < end; at += script_.pieceBytes) {
    const size_t length = std::min(script_.pieceBytes, end - at);
    if (!SendAll(fd, std::string_view{body}.substr(at, length))) return;
    if (!Pause(script_.pauseMs)) return;
  }
  if (script_.cutAfter && script_.holdAtCut) {
    // Until the client gives up or the server stops.
    while (!stopping_.load()) {
      pollfd closed{fd, POLLIN, 0};
      if (::poll(&closed, 1, kTickMs) > 0) {
        char drain[256];
        if (::recv(fd, drain, sizeof drain, 0) <= 0) return;
      }
    }
  }
}

}  // namespace vlo::sim
