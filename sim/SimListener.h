#pragma once

#include <cstdint>
#include <memory>

namespace vlo::sim {

class SimRouter;

// The sockets behind a SimServer: a listener on 127.0.0.1 (plain or TLS) with its own
// io_context threads, serving HTTP and WebSocket connections as `router` says. Destruction stops
// every connection and joins the threads; no router call happens after it returns.
class SimListener {
 public:
  SimListener(SimRouter& router, bool tls);
  ~SimListener();
  SimListener(const SimListener&) = delete;
  SimListener& operator=(const SimListener&) = delete;

  uint16_t Port() const;
  // Closes the listener and every connection and joins the threads, as destruction does; no
  // router call happens after it returns. Any thread, any number of times.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vlo::sim
