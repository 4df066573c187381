#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

namespace vlo::sim {

// A plain HTTP server on 127.0.0.1 that answers every request with one 200 response, writing the
// body in pieces with a pause after each and, if told, breaking off part-way: the slow and the
// cut-short downloads that a server answering with whole bodies cannot play. One connection at
// a time; the pauses are real time.
class TrickleServer {
 public:
  struct Script {
    std::string body;
    size_t pieceBytes{16384};
    int pauseMs{20};
    // After this many bytes of the body (the headers still announce all of it) the connection
    // is closed, or held open without another byte when `holdAtCut`.
    std::optional<size_t> cutAfter;
    bool holdAtCut{false};
  };

  explicit TrickleServer(Script script);
  ~TrickleServer();
  TrickleServer(const TrickleServer&) = delete;
  TrickleServer& operator=(const TrickleServer&) = delete;

  // "http://127.0.0.1:PORT".
  std::string BaseUrl() const;
  // Requests answered or being answered so far.
  size_t Requests() const { return requests_.load(); }

 private:
  void Serve();
  void Answer(int fd);
  // Waits up to `ms` (real time); false once the server is stopping.
  bool Pause(int ms) const;

  const Script script_;
  int listener_{-1};
  uint16_t port_{0};
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> requests_{0};
  std::thread thread_;  // owns the listener and every connection
};

}  // namespace vlo::sim
