#pragma once

// A loopback port nobody listens on right now, for a test's listener of its own.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>

namespace vlo::test {

// Picked below the kernel's ephemeral range (32768 and up), where every outgoing connection and
// every listener on port 0 of the tests running beside this one takes its port: a port found
// free there could be taken again before the test listens on it.
inline int FreeLoopbackPort() {
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<int> pick{20000, 32000};
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int port = pick(random);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (free) return port;
  }
  return 0;
}

}  // namespace vlo::test
