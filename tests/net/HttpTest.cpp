#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "net/Http.h"
#include "sim/SimServer.h"

namespace plx {
namespace {

using vlo::sim::HttpAnswer;
using vlo::sim::HttpExchange;
using vlo::sim::SimServer;

// The header lines the server saw, minus the ones libcurl always adds.
std::vector<std::string> OwnHeaderLines(const HttpExchange& exchange) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : exchange.headerLines) {
    if (name == "Host" || name == "User-Agent" || name == "Accept-Encoding" ||
        name == "Content-Length") {
      continue;
    }
    lines.push_back(name + ": " + value);
  }
  return lines;
}

class HttpTest : public testing::Test {
 protected:
  HttpTest() {
    server_.RoutePrefix("*", "/", [](const HttpExchange& e) {
      return HttpAnswer::Text(e.method + " " + e.target + " " + e.body);
    });
  }
  std::string Url(const std::string& target) const { return server_.BaseUrl() + target; }
  HttpExchange LastRequest() const { return server_.Requests().back(); }

  SimServer server_;
};

TEST_F(HttpTest, RequestTargetDropsFragmentAndDefaultsToSlash) {
  struct Case {
    std::string suffix, target;
  };
  const Case cases[]{
      {"/path?x=1#frag", "/path?x=1"}, {"", "/"}, {"/a%20b/?q=%C3%A9", "/a%20b/?q=%C3%A9"}};
  for (const Case& c : cases) {
    const HttpResponse response{Get(Url(c.suffix))};
    EXPECT_EQ(response.status, 200) << response.error;
    EXPECT_EQ(LastRequest().target, c.target) << c.suffix;
  }
}

TEST_F(HttpTest, HeaderBlockOrderAndAcceptRule) {
  struct Case {
    std::string contentType, headers;
    std::vector<std::string> sent;
  };
  const Case cases[]{
      {"", "", {"Accept: application/json"}},
      {"", "X-One: 1", {"Accept: application/json", "X-One: 1"}},
      {"", "Accept: text/html\r\nX-Two: 2\r\n", {"Accept: text/html", "X-Two: 2"}},
      {"application/json",
       "X-One: 1\r\n",
       {"Content-Type: application/json", "Accept: application/json", "X-One: 1"}},
      {"", "Accept-Language: en", {"Accept: application/json", "Accept-Language: en"}},
  };
  for (const Case& c : cases) {
    HttpRequest request;
    request.url = Url("/h");
    request.contentType = c.contentType;
    request.headers = c.headers;
    EXPECT_EQ(Perform(request).status, 200);
    EXPECT_EQ(OwnHeaderLines(LastRequest()), c.sent) << c.headers;
  }
  HttpRequest custom;
  custom.url = Url("/ua");
  custom.userAgent = BrowserUserAgent();
  Perform(custom);
  EXPECT_EQ(LastRequest().Header("User-Agent"), kBrowserUserAgent);
  Get(Url("/ua"));
  EXPECT_EQ(LastRequest().Header("User-Agent"), kAppUserAgent);
}

TEST_F(HttpTest, MethodsAndBodies) {
  const HttpResponse form{PostForm(Url("/f"), "a=1&b=%20")};
  EXPECT_EQ(form.body, "POST /f a=1&b=%20");
  EXPECT_EQ(LastRequest().Header("Content-Type"), "application/x-www-form-urlencoded");

  const HttpResponse json{PostJson(Url("/j"), "{\"x\":1}", BearerHeaders("tok", "id"))};
  EXPECT_EQ(json.body, "POST /j {\"x\":1}");
  EXPECT_EQ(LastRequest().Header("Authorization"), "Bearer tok");
  EXPECT_EQ(LastRequest().Header("Client-Id"), "id");

  const HttpResponse del{
      Request(Url("/d?id=5"), "DELETE", std::nullopt, std::nullopt, std::nullopt, 5000)};
  EXPECT_EQ(del.body, "DELETE /d?id=5 ");
  const HttpResponse patch{
      Request(Url("/p"), "PATCH", std::string{"{}"}, "application/json", std::nullopt, 5000)};
  EXPECT_EQ(patch.body, "PATCH /p {}");
  const HttpResponse emptyPost{
      Request(Url("/e"), "POST", std::nullopt, std::nullopt, std::nullopt, 5000)};
  EXPECT_EQ(emptyPost.body, "POST /e ");
  EXPECT_EQ(LastRequest().Header("Content-Type"), "");  // nothing given, nothing sent
}

TEST_F(HttpTest, RetryAfterAndStatusesAreCompletedExchanges) {
  struct Case {
    std::optional<std::string> retryAfter;
    int32_t seconds;
  };
  const Case cases[]{{"30", 30}, {"0", 0}, {"Wed, 21 Oct 2015 07:28:00 GMT", 0}, {std::nullopt, 0}};
  for (const Case& c : cases) {
    HttpAnswer answer{HttpAnswer::Status(429, "slow down")};
    if (c.retryAfter) answer.headers.emplace_back("Retry-After", *c.retryAfter);
    server_.AnswerNext("GET", "/limited", 1, answer);
    const HttpResponse response{Get(Url("/limited"))};
    EXPECT_EQ(response.status, 429);
    EXPECT_EQ(response.retryAfter, c.seconds) << c.retryAfter.value_or("absent");
  }
  server_.AnswerNext("GET", "/missing", 1, HttpAnswer::Status(404, "{\"error\":\"gone\"}"));
  const HttpResponse missing{Get(Url("/missing"))};
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "{\"error\":\"gone\"}");
  EXPECT_EQ(missing.error, "");
}

TEST_F(HttpTest, DecodesGzipAndHandlesLargeBodies) {
  HttpAnswer zipped{HttpAnswer::Json(std::string(100000, 'x'))};
  zipped.gzip = true;
  server_.AnswerNext("GET", "/zip", 1, zipped);
  EXPECT_EQ(Get(Url("/zip")).body, std::string(100000, 'x'));
  EXPECT_NE(LastRequest().Header("Accept-Encoding").find("gzip"), std::string::npos);

  std::string big(8 * 1024 * 1024, 'b');
  big[12345] = 'c';
  server_.AnswerNext("GET", "/big", 1, HttpAnswer::Text(big));
  EXPECT_EQ(Get(Url("/big")).body, big);
}

TEST_F(HttpTest, RedirectsFollowedUnlessTurnedOff) {
  HttpAnswer redirect{HttpAnswer::Status(302)};
  redirect.headers.emplace_back("Location", "/target");
  server_.AnswerNext("GET", "/moved", 2, redirect);
  EXPECT_EQ(Get(Url("/moved")).body, "GET /target ");

  HttpRequest request;
  request.url = Url("/moved");
  request.followRedirects = false;
  const HttpResponse response{Perform(request)};
  EXPECT_EQ(response.status, 302);
  EXPECT_EQ(response.error, "");
}

TEST_F(HttpTest, FailuresBecomeFixedTexts) {
  HttpAnswer stalled;
  stalled.stall = true;
  server_.AnswerNext("GET", "/stall", 1, stalled);
  const HttpResponse timeout{Get(Url("/stall"), 200)};
  EXPECT_EQ(timeout.error, "network timeout");
  EXPECT_EQ(timeout.status, 0);

  HttpAnswer hangUp;
  hangUp.closeWithoutAnswer = true;
  server_.AnswerNext("GET", "/hangup", 1, hangUp);
  const HttpResponse empty{Get(Url("/hangup"))};
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.error, "network error (no answer)");

  uint16_t closedPort{0};
  {
    SimServer gone;
    closedPort = gone.Port();
  }
  EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(closedPort) + "/").error,
            "network error (cannot connect)");
  EXPECT_EQ(Get("http://no-such-host.invalid/", 3000).error, "network error (DNS)");

  for (const char* bad : {"", "nonsense", "ftp://127.0.0.1/", "http:///x", "ws://127.0.0.1/"}) {
    const HttpResponse response{Get(bad)};
    EXPECT_EQ(response.error, "Invalid URL") << bad;
    EXPECT_EQ(response.status, 0);
  }
}

// A server that promises 100 bytes, sends 3 and hangs up.
TEST(HttpTruncated, CutBodyIsAFailureNotASuccess) {
  const int listener{::socket(AF_INET, SOCK_STREAM, 0)};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t length{sizeof address};
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  std::thread server{[listener] {
    const int peer{::accept(listener, nullptr, nullptr)};
    char buffer[4096];
    [[maybe_unused]] const auto got{::recv(peer, buffer, sizeof buffer, 0)};
    const std::string reply{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc"};
    [[maybe_unused]] const auto sent{::send(peer, reply.data(), reply.size(), MSG_NOSIGNAL)};
    ::close(peer);
  }};
  const HttpResponse response{
      Get("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/")};
  server.join();
  ::close(listener);
  EXPECT_EQ(response.status, 0);
  EXPECT_EQ(response.body, "");
  EXPECT_EQ(response.error, "network error (answer cut short)");
}

}  // namespace
}  // namespace plx
