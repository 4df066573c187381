#pragma once

// The simulator's server framework: loopback listeners (plain or TLS) with HTTP routes,
// scripted answers, a request log and WebSocket endpoints. Every simulated service (Twitch chat,
// Kick, YouTube, the emote catalogues, the portal, the update site) is built on it.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlo::sim {

// "%XX" escapes decoded (a malformed one is kept as is); with `plusIsSpace` (form and query
// values) "+" is a space as well.
std::string PercentDecode(std::string_view text, bool plusIsSpace = false);

// One HTTP request as the server received it.
struct HttpExchange {
  std::string method;
  std::string target;                                            // path and query as sent
  std::string path;                                              // without the query
  std::string query;                                             // without the "?"
  std::map<std::string, std::string> headers;                    // names lower-cased
  std::vector<std::pair<std::string, std::string>> headerLines;  // as sent, in order
  std::string body;

  // The first value of a query parameter, percent-decoded; empty when absent.
  std::string Query(std::string_view name) const;
  bool HasQuery(std::string_view name) const;
  // The first value of a field of a form-encoded body, percent-decoded; empty when absent.
  std::string Form(std::string_view name) const;
  // A header by name (any case); empty when absent.
  std::string Header(std::string_view name) const;
};

// How the server answers one request.
struct HttpAnswer {
  int status{200};
  std::string body;
  std::string contentType{"application/json"};
  std::vector<std::pair<std::string, std::string>> headers;
  bool gzip{false};                // send the body gzip-encoded (Content-Encoding: gzip)
  int delayMs{0};                  // wait this long (real time) before answering
  bool stall{false};               // never answer; hold the connection until the server stops
  bool closeWithoutAnswer{false};  // close the connection without a response

  static HttpAnswer Json(std::string body, int status = 200);
  static HttpAnswer Text(std::string body, std::string contentType = "text/plain",
                         int status = 200);
  static HttpAnswer Status(int status, std::string body = {});
};

using HttpHandler = std::function<HttpAnswer(const HttpExchange&)>;

// One connected WebSocket client as the server sees it. Thread-safe.
class WsPeer {
 public:
  virtual ~WsPeer() = default;
  virtual bool SendText(std::string_view text) = 0;
  // Sends `text` as `pieces` frames: a text frame and continuation frames.
  virtual bool SendFragmented(std::string_view text, size_t pieces) = 0;
  // Sends a close frame with the code (the normal closing handshake).
  virtual void SendClose(uint16_t code = 1000) = 0;
  // Drops the TCP connection without a close frame.
  virtual void Drop() = 0;
  // Stops reading from and writing to the peer until Stall(false).
  virtual void Stall(bool on) = 0;
  virtual bool IsOpen() const = 0;
  virtual std::string Target() const = 0;                       // request target of the upgrade
  virtual std::string Header(std::string_view name) const = 0;  // upgrade request header
  // Every text message received from the client so far, in order.
  virtual std::vector<std::string> Received() const = 0;
};

struct WsHandlers {
  // Each called on a server thread; may call the peer's operations.
  std::function<void(const std::shared_ptr<WsPeer>&)> onOpen;
  std::function<void(const std::shared_ptr<WsPeer>&, const std::string&)> onMessage;
  std::function<void(const std::shared_ptr<WsPeer>&)> onClose;
};

// One listener on 127.0.0.1 with an ephemeral port, serving until destroyed.
class SimServer {
 public:
  enum class Transport { Plain, Tls };
  explicit SimServer(Transport transport = Transport::Plain);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Exact path match for a method ("*" matches any method). Later routes replace earlier ones.
  void Route(std::string method, std::string path, HttpHandler handler);
  // Prefix match, tried after the exact routes, longest prefix first.
  void RoutePrefix(std::string method, std::string prefix, HttpHandler handler);
  // Answers the next `count` requests to (method, path) with `answer`, ahead of the routes.
  void AnswerNext(std::string method, std::string path, int count, HttpAnswer answer);
  // Accepts WebSocket upgrades on `path`. An upgrade request to a path without WebSocket
  // handlers is answered like any HTTP request (so a route can answer it with 200).
  void WebSocket(std::string path, WsHandlers handlers);

  // Every HTTP request so far (WebSocket upgrades included), oldest first.
  std::vector<HttpExchange> Requests() const;
  size_t RequestCount(std::string_view path) const;
  void ClearRequests();
  // Blocks (real time, bounded) until at least `count` requests to `path` were received.
  bool WaitForRequests(std::string_view path, size_t count, int timeoutMs = 5000) const;

  // The connected WebSocket peers (open or not), oldest first.
  std::vector<std::shared_ptr<WsPeer>> Peers() const;
  // Blocks until at least `count` peers have connected in total.
  bool WaitForPeers(size_t count, int timeoutMs = 5000) const;

  uint16_t Port() const;
  // Stops serving: the listener's threads are joined and no handler runs after it returns (the
  // sockets close with the server). Services call it before their own state goes, since their
  // handlers point into it. Any thread, any number of times.
  void Stop();
  // "http://127.0.0.1:PORT" or "https://…"; WsBaseUrl gives "ws://…" or "wss://…".
  std::string BaseUrl() const;
  std::string WsBaseUrl() const;

  // The PEM file of the certificate authority that signed every TLS listener's certificate,
  // made once per process at run time (for TrustExtraCertificateForTests).
  static std::string TestCaPath();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vlo::sim
