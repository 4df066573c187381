#include "sim/SimServer.h"

#include "sim/SimListener.h"
#include "sim/SimRouter.h"
#include "sim/TestCertificates.h"

namespace vlo::sim {

struct SimServer::Impl {
  explicit Impl(Transport t) : transport{t}, listener{router, t == Transport::Tls} {}

  Transport transport;
  SimRouter router;  // outlives the listener, which calls it
  SimListener listener;
};

SimServer::SimServer(Transport transport) : impl_{std::make_unique<Impl>(transport)} {}

SimServer::~SimServer() = default;

void SimServer::Route(std::string method, std::string path, HttpHandler handler) {
  impl_->router.Route(std::move(method), std::move(path), std::move(handler));
}

void SimServer::RoutePrefix(std::string method, std::string prefix, HttpHandler handler) {
  impl_->router.RoutePrefix(std::move(method), std::move(prefix), std::move(handler));
}

void SimServer::AnswerNext(std::string method, std::string path, int count, HttpAnswer answer) {
  impl_->router.AnswerNext(std::move(method), std::move(path), count, std::move(answer));
}

void SimServer::WebSocket(std::string path, WsHandlers handlers) {
  impl_->router.WebSocket(std::move(path), std::move(handlers));
}

std::vector<HttpExchange> SimServer::Requests() const { return impl_->router.Requests(); }

size_t SimServer::RequestCount(std::string_view path) const {
  return impl_->router.RequestCount(path);
}

void SimServer::ClearRequests() { impl_->router.ClearRequests(); }

bool SimServer::WaitForRequests(std::string_view path, size_t count, int timeoutMs) const {
  return impl_->router.WaitForRequests(path, count, timeoutMs);
}

std::vector<std::shared_ptr<WsPeer>> SimServer::Peers() const { return impl_->router.Peers(); }

bool SimServer::WaitForPeers(size_t count, int timeoutMs) const {
  return impl_->router.WaitForPeers(count, timeoutMs);
}

void SimServer::Stop() { impl_->listener.Stop(); }

uint16_t SimServer::Port() const { return impl_->listener.Port(); }

std::string SimServer::BaseUrl() const {
  const char* scheme{impl_->transport == Transport::Tls ? "https" : "http"};
  return std::string{scheme} + "://127.0.0.1:" + std::to_string(Port());
}

std::string SimServer::WsBaseUrl() const {
  const char* scheme{impl_->transport == Transport::Tls ? "wss" : "ws"};
  return std::string{scheme} + "://127.0.0.1:" + std::to_string(Port());
}

std::string SimServer::TestCaPath() { return GetTestCertificates().caPath; }

}  // namespace vlo::sim
