#include "net/WebSocketClient.h"

#include <utility>

#include "net/Http.h"
#include "net/UrlParts.h"
#include "net/WsConnection.h"

namespace plx {

struct WebSocketClient::Impl {
  std::mutex handleMutex;  // guards connection
  // The connection being made or the last one made; replaced by Connect, kept after Close so
  // that Close never waits for the I/O thread.
  std::shared_ptr<detail::WsConnection> connection;
  std::mutex sendMutex;  // serialises sends
  std::atomic<bool> open{false};
  std::atomic<int32_t> retryAfter{0};  // of the last declined upgrade

  std::shared_ptr<detail::WsConnection> Current() {
    std::lock_guard lock{handleMutex};
    return connection;
  }
};

WebSocketClient::WebSocketClient() : impl_{std::make_unique<Impl>()} {}

WebSocketClient::~WebSocketClient() {
  Close();
  std::shared_ptr<detail::WsConnection> last;
  {
    std::lock_guard lock{impl_->handleMutex};
    last = std::move(impl_->connection);
  }
}

bool WebSocketClient::Connect(const std::string& url, const std::string& userAgent,
                              std::string* error, int32_t receiveTimeoutMs,
                              const CallControl& control) {
  Close();
  impl_->retryAfter = 0;
  detail::ConnectFailure failure;
  const std::optional<detail::UrlParts> parts{detail::ParseUrl(url)};
  if (!parts || (parts->scheme != "ws" && parts->scheme != "wss")) {
    if (error) *error = "Invalid WebSocket URL";
    return false;
  }
  std::shared_ptr<detail::WsConnection> connection{
      detail::MakeWsConnection(parts->secure, receiveTimeoutMs)};
  std::shared_ptr<detail::WsConnection> previous;
  {
    // Published before connecting, so a Close from another thread can cut the attempt short.
    std::lock_guard lock{impl_->handleMutex};
    previous = std::exchange(impl_->connection, connection);
  }
  previous.reset();  // joins the old I/O thread outside the lock
  const bool ok{connection->Connect(*parts, userAgent.empty() ? AppUserAgent() : userAgent, control,
                                    failure)};
  {
    std::lock_guard lock{impl_->handleMutex};
    if (ok && !connection->Closed() && impl_->connection == connection) {
      impl_->open = true;
      return true;
    }
  }
  connection->Close();
  impl_->retryAfter = failure.retryAfter;
  if (error) *error = failure.text.empty() ? "WebSocket connect failed" : failure.text;
  return false;
}

bool WebSocketClient::SendText(std::string_view text) {
  if (!impl_->open) return false;
  std::lock_guard lock{impl_->sendMutex};
  const auto connection{impl_->Current()};
  return connection && connection->Send(text);
}

bool WebSocketClient::ReceiveMessage(std::string& out) {
  out.clear();
  const auto connection{impl_->Current()};
  if (!impl_->open || !connection) return false;
  if (connection->Receive(out)) return true;
  out.clear();
  impl_->open = false;
  return false;
}

void WebSocketClient::Close() {
  std::lock_guard lock{impl_->handleMutex};
  impl_->open = false;
  if (impl_->connection) impl_->connection->Close();
}

bool WebSocketClient::IsOpen() const { return impl_->open; }

int32_t WebSocketClient::RetryAfterSeconds() const { return impl_->retryAfter; }

}  // namespace plx
