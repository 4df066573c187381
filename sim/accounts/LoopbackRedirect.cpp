#include "sim/accounts/LoopbackRedirect.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>

namespace vlo::sim {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

bool IsDigits(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::optional<LoopbackUri> ParseLoopbackUri(std::string_view uri) {
  constexpr std::string_view kScheme = "http://";
  if (!uri.starts_with(kScheme) || uri.find('#') != std::string_view::npos) return std::nullopt;
  std::string_view rest = uri.substr(kScheme.size());
  LoopbackUri parsed;
  for (const std::string_view host : {std::string_view{"127.0.0.1:"}, std::string_view{"[::1]:"}}) {
    if (rest.starts_with(host)) {
      parsed.host = host.front() == '[' ? "::1" : "127.0.0.1";
      rest.remove_prefix(host.size());
      break;
    }
  }
  if (parsed.host.empty()) return std::nullopt;
  const size_t end = rest.find_first_of("/?");
  const std::string_view port = rest.substr(0, end);
  if (!IsDigits(port)) return std::nullopt;
  const unsigned long value = std::stoul(std::string{port});
  if (value == 0 || value > 65535) return std::nullopt;
  parsed.port = static_cast<uint16_t>(value);
  parsed.target = end == std::string_view::npos ? "/" : std::string{rest.substr(end)};
  if (parsed.target.front() == '?') parsed.target.insert(0, "/");
  return parsed;
}

std::string QueryEncode(std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string WithQuery(const std::string& uri,
                      const std::vector<std::pair<std::string, std::string>>& params) {
  std::string out = uri;
  for (const auto& [name, value] : params) {
    if (out.find('?') == std::string::npos) {
      out += '?';
    } else if (out.back() != '?' && out.back() != '&') {
      out += '&';
    }
    out += QueryEncode(name) + "=" + QueryEncode(value);
  }
  return out;
}

bool VisitLoopback(const std::string& uri, int timeoutMs) {
  const std::optional<LoopbackUri> target = ParseLoopbackUri(uri);
  if (!target) return false;
  boost::asio::io_context ioc;
  beast::tcp_stream stream{ioc};
  http::request<http::empty_body> request{http::verb::get, target->target, 11};
  request.set(http::field::host,
              (target->host == "::1" ? "[::1]:" : "127.0.0.1:") + std::to_string(target->port));
  request.set(http::field::connection, "close");
  beast::flat_buffer buffer;
  http::response<http::string_body> response;
  bool answered = false;
  // One deadline for the whole exchange; the stream closes itself when it passes.
  stream.expires_after(std::chrono::milliseconds{timeoutMs});
  boost::system::error_code addressError;
  const auto address = boost::asio::ip::make_address(target->host, addressError);
  if (addressError) return false;
  stream.async_connect(tcp::endpoint{address, target->port}, [&](beast::error_code error) {
    if (error) return;
    http::async_write(stream, request, [&](beast::error_code error, size_t) {
      if (error) return;
      http::async_read(stream, buffer, response,
                       [&](beast::error_code error, size_t) { answered = !error; });
    });
  });
  ioc.run();
  return answered;
}

}  // namespace vlo::sim
