#include "sim/accounts/PortalPages.h"

#include "sim/HtmlText.h"

namespace vlo::sim {
namespace {

constexpr const char* kStyle =
    "body{margin:0;min-height:100vh;display:flex;align-items:center;justify-content:center;"
    "background:#16161d;color:#e8e8ef;font:16px/1.5 system-ui,sans-serif}"
    "main{background:#22222c;border-radius:12px;padding:32px 36px;max-width:420px;"
    "box-shadow:0 8px 30px rgba(0,0,0,.4)}"
    "h1{font-size:20px;margin:0 0 4px}.brand{color:#9a8cff;font-size:13px;"
    "letter-spacing:.08em;text-transform:uppercase;margin:0 0 16px}"
    ".account{background:#2c2c38;border-radius:8px;padding:12px 14px;margin:16px 0}"
    ".account b{display:block}.muted{color:#a0a0b0;font-size:14px}"
    "ul{margin:8px 0 0;padding-left:20px;font-size:14px;color:#c8c8d4}"
    "form{display:inline}.buttons{margin-top:24px;display:flex;gap:12px}"
    "button{font:inherit;border:0;border-radius:8px;padding:10px 22px;cursor:pointer}"
    ".approve{background:#7b68ee;color:#fff}.deny{background:#3a3a48;color:#e8e8ef}";

std::string Page(const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>Velaro Studio – sign in</title><style>" +
         std::string{kStyle} + "</style></head><body><main>" +
         "<p class=\"brand\">Velaro Studio</p>" + body + "</main></body></html>\n";
}

std::string DecisionForm(const char* path, const char* label, const char* cssClass,
                         const std::string& challenge) {
  return std::string{"<form method=\"post\" action=\""} + path +
         "\"><input type=\"hidden\" name=\"challenge\" value=\"" + HtmlEscape(challenge) +
         "\"><button type=\"submit\" class=\"" + cssClass + "\">" + label + "</button></form>";
}

}  // namespace

std::string ConnectPageHtml(plx::PlatformId platform, const SimAccount* account,
                            const std::vector<std::string>& scopes, const std::string& challenge) {
  const std::string name = plx::PlatformName(platform);
  std::string body = "<h1>Sign in to " + HtmlEscape(name) + "</h1>" +
                     "<p class=\"muted\">Velaro Chat asks to read and send chat and to moderate "
                     "with your " +
                     HtmlEscape(name) + " account.</p>";
  if (account) {
    const std::string shown = account->displayName.empty() ? account->login : account->displayName;
    body += "<div class=\"account\"><b>" + HtmlEscape(shown) + "</b><span class=\"muted\">" +
            HtmlEscape(account->login) + " · " + HtmlEscape(account->id) + "</span>";
  } else {
    body += "<div class=\"account\"><b>No " + HtmlEscape(name) +
            " account is set up here</b><span class=\"muted\">Approving will fail.</span>";
  }
  if (!scopes.empty()) {
    body += "<ul>";
    for (const std::string& scope : scopes) body += "<li>" + HtmlEscape(scope) + "</li>";
    body += "</ul>";
  }
  body += "</div><div class=\"buttons\">" +
          DecisionForm(kApprovePath, "Approve", "approve", challenge) +
          DecisionForm(kDenyPath, "Deny", "deny", challenge) + "</div>";
  return Page(body);
}

std::string NoticePageHtml(const std::string& heading, const std::string& text) {
  return Page("<h1>" + HtmlEscape(heading) + "</h1><p>" + HtmlEscape(text) + "</p>");
}

}  // namespace vlo::sim
