#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/Closable.h"
#include "net/CallControl.h"

namespace plx {

// A blocking WebSocket client (ws:// and wss://) for text messages. One thread receives; any
// thread may send or close. Shared between a reader, the hub's socket registry and, for Kick, a
// ping thread; destruction closes it.
class WebSocketClient final : public vlo::Closable {
 public:
  WebSocketClient();
  ~WebSocketClient() override;
  WebSocketClient(const WebSocketClient&) = delete;
  WebSocketClient& operator=(const WebSocketClient&) = delete;

  // Closes any previous connection, then connects: resolve, TCP, TLS and upgrade within 10 s of
  // the control's clock; a control that stops wanting the call, or a Close from another thread,
  // ends it at once. On failure `error` (when given) receives one of the fixed texts:
  // "Invalid WebSocket URL", "WebSocket connect failed", "WebSocket connect timed out",
  // "WebSocket handshake timed out", "WebSocket handshake failed (…)" with a short reason,
  // "WebSocket upgrade rejected (HTTP n)", a certificate sentence ("the server's certificate is
  // not trusted", "… is for another host" …), "the secure connection failed" or
  // "WebSocket connect cancelled". receiveTimeoutMs of 0 (or less) means a receive waits as long
  // as the socket stays up (real time).
  bool Connect(const std::string& url, const std::string& userAgent, std::string* error,
               int32_t receiveTimeoutMs = 0, const CallControl& control = {});

  // Seconds the server asked us to wait (Retry-After) when it declined the last upgrade; else 0.
  int32_t RetryAfterSeconds() const;

  // Sends one text message. Serialised with other sends and the closing handshake. False when
  // not open or the send failed.
  bool SendText(std::string_view text);

  // Waits for the next whole message (fragments joined). False once the connection is over; a
  // message over 4 MiB ends it too. Called from one thread only.
  bool ReceiveMessage(std::string& out);

  // Any thread, any number of times; wakes a blocked ReceiveMessage at once.
  void Close() override;

  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plx
