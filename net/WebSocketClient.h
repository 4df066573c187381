#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/Closable.h"

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

  // Closes any previous connection, then connects. On failure `error` (when given) receives one
  // of the fixed texts ("Invalid WebSocket URL", "WebSocket connect failed",
  // "WebSocket handshake failed (n)", "WebSocket upgrade rejected (HTTP n)"). receiveTimeoutMs
  // of 0 (or less) means a receive waits as long as the socket stays up.
  bool Connect(const std::string& url, const std::string& userAgent, std::string* error,
               int32_t receiveTimeoutMs = 0);

  // Sends one text message. Serialised with other sends and the closing handshake. False when
  // not open or the send failed.
  bool SendText(std::string_view text);

  // Waits for the next whole message (fragments joined). False once the connection is over.
  // Called from one thread only.
  bool ReceiveMessage(std::string& out);

  // Any thread, any number of times; wakes a blocked ReceiveMessage at once.
  void Close() override;

  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plx
