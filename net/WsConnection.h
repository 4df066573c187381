#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/UrlParts.h"

namespace plx::detail {

// One WebSocket connection with its own I/O thread, which alone touches the stream; the
// blocking calls below hand work to it and wait. Beast lives only behind this interface.
class WsConnection {
 public:
  virtual ~WsConnection() = default;  // closes, then joins the I/O thread

  // Resolve, TCP connect, TLS and upgrade. On failure `error` gets the fixed text.
  virtual bool Connect(const UrlParts& url, const std::string& userAgent, std::string& error) = 0;
  // One text frame. False when closed or the write failed.
  virtual bool Send(std::string_view text) = 0;
  // The next whole message; false once the connection is over or closed. One thread at a time.
  virtual bool Receive(std::string& out) = 0;
  // Any thread, repeatable, never blocks: wakes every waiter at once, then closes with the
  // closing handshake (bounded by a short time-out) on the I/O thread.
  virtual void Close() = 0;
  virtual bool Closed() const = 0;
};

// receiveTimeoutMs <= 0: a receive waits as long as the socket stays up.
std::unique_ptr<WsConnection> MakeWsConnection(bool secure, int32_t receiveTimeoutMs);

}  // namespace plx::detail
