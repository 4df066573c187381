#pragma once

namespace vlo {

// Something a stop can close from another thread to wake the thread blocked on it (a reader's
// WebSocket). Close must be safe from any thread, any number of times.
class Closable {
 public:
  virtual ~Closable() = default;
  virtual void Close() = 0;
};

}  // namespace vlo
