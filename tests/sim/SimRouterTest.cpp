#include <gtest/gtest.h>

#include "sim/SimRouter.h"

namespace vlo::sim {
namespace {

HttpExchange Exchange(std::string method, std::string path, std::string query = {}) {
  HttpExchange e;
  e.method = std::move(method);
  e.path = std::move(path);
  e.query = std::move(query);
  e.target = e.path + (e.query.empty() ? "" : "?" + e.query);
  return e;
}

HttpHandler Says(std::string text) {
  return [text](const HttpExchange&) { return HttpAnswer::Text(text); };
}

TEST(SimRouter, ChoosesScriptedThenExactThenLongestPrefix) {
  SimRouter router;
  router.Route("*", "/a/b", Says("any-exact"));
  router.Route("GET", "/a/b", Says("get-exact"));
  router.RoutePrefix("GET", "/a", Says("short-prefix"));
  router.RoutePrefix("*", "/a/c", Says("long-prefix"));
  router.AnswerNext("GET", "/a/b", 2, HttpAnswer::Status(503));

  struct Case {
    std::string method, path;
    int status;
    std::string body;
  };
  const Case cases[]{
      {"GET", "/a/b", 503, ""},            // scripted, first of two
      {"POST", "/a/b", 200, "any-exact"},  // scripted answers are per method
      {"GET", "/a/b", 503, ""},            // scripted, second
      {"GET", "/a/b", 200, "get-exact"},   // method route beats "*"
      {"GET", "/a/c/d", 200, "long-prefix"},
      {"GET", "/a/x", 200, "short-prefix"},
      {"POST", "/a/x", 404, "not found"},
      {"GET", "/zzz", 404, "not found"},
  };
  for (const Case& c : cases) {
    const HttpExchange e{Exchange(c.method, c.path)};
    std::optional<HttpAnswer> answer{router.Record(e)};
    if (!answer) answer = router.Answer(e);
    EXPECT_EQ(answer->status, c.status) << c.method << " " << c.path;
    EXPECT_EQ(answer->body, c.body) << c.method << " " << c.path;
  }
  EXPECT_EQ(router.RequestCount("/a/b"), 4u);
  EXPECT_TRUE(router.WaitForRequests("/a/b", 4, 0));
  EXPECT_FALSE(router.WaitForRequests("/a/b", 5, 10));
}

TEST(SimRouter, LaterRouteReplacesEarlier) {
  SimRouter router;
  router.Route("GET", "/x", Says("old"));
  router.Route("GET", "/x", Says("new"));
  EXPECT_EQ(router.Answer(Exchange("GET", "/x")).body, "new");
}

TEST(HttpExchange, QueryFormAndHeaderLookups) {
  HttpExchange e{Exchange("POST", "/p", "a=1&name=caf%C3%A9+au+lait&flag&a=2&bad=%G1")};
  e.body = "grant_type=refresh_token&token=a%2Fb";
  e.headers["content-type"] = "application/json";
  EXPECT_EQ(e.Query("a"), "1");
  EXPECT_EQ(e.Query("name"), "caf\xC3\xA9 au lait");
  EXPECT_TRUE(e.HasQuery("flag"));
  EXPECT_EQ(e.Query("flag"), "");
  EXPECT_FALSE(e.HasQuery("missing"));
  EXPECT_EQ(e.Query("bad"), "%G1");
  EXPECT_EQ(e.Form("token"), "a/b");
  EXPECT_EQ(e.Header("Content-Type"), "application/json");
  EXPECT_EQ(e.Header("Accept"), "");
}

}  // namespace
}  // namespace vlo::sim
