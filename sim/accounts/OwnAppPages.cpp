#include "sim/accounts/OwnAppPages.h"

#include "sim/HtmlText.h"

namespace vlo::sim {
namespace {

using plx::PlatformId;

// The platform's name as its sign-in pages show it, and its accent colour.
const char* Brand(PlatformId platform) {
  switch (platform) {
    case PlatformId::YouTube:
      return "Google";
    case PlatformId::Kick:
      return "Kick";
    default:
      return "Twitch";
  }
}

const char* Accent(PlatformId platform) {
  switch (platform) {
    case PlatformId::YouTube:
      return "#1a73e8";
    case PlatformId::Kick:
      return "#2fb80f";
    default:
      return "#9146ff";
  }
}

std::string Page(PlatformId platform, const std::string& title, const std::string& body) {
  const std::string accent = Accent(platform);
  const std::string style =
      "body{margin:0;min-height:100vh;display:flex;align-items:center;justify-content:center;"
      "background:#f4f4f6;color:#1f1f23;font:16px/1.5 system-ui,sans-serif}"
      "main{background:#fff;border-radius:12px;padding:32px 36px;max-width:440px;"
      "box-shadow:0 4px 24px rgba(0,0,0,.12)}"
      "h1{font-size:22px;margin:0 0 8px}.brand{color:" +
      accent +
      ";font-weight:700;font-size:15px;margin:0 0 18px}"
      ".account{border:1px solid #dcdce2;border-radius:8px;padding:10px 14px;margin:16px 0}"
      ".account b{display:block}.muted{color:#63636e;font-size:14px}"
      ".note{background:#fdecec;color:#8c1d18;border-radius:8px;padding:8px 12px;font-size:14px}"
      "ul{margin:8px 0 0;padding-left:20px;font-size:14px}"
      "label{display:block;font-size:14px;margin-top:16px}"
      "input[type=text]{font:600 22px/1.2 ui-monospace,monospace;letter-spacing:.2em;"
      "width:100%;box-sizing:border-box;padding:10px 12px;margin-top:6px;border:1px solid #b8b8c2;"
      "border-radius:8px;text-transform:uppercase}"
      ".buttons{margin-top:24px;display:flex;gap:12px}.buttons form{display:inline}"
      "button{font:inherit;border:0;border-radius:8px;padding:10px 22px;cursor:pointer}"
      ".approve{background:" +
      accent + ";color:#fff}.deny{background:#e6e6ea;color:#1f1f23}";
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
         HtmlEscape(title) + "</title><style>" + style + "</style></head><body><main>" +
         "<p class=\"brand\">" + Brand(platform) + "</p>" + body + "</main></body></html>\n";
}

std::string AccountBox(PlatformId platform, const SimAccount* account) {
  if (!account) {
    return std::string{"<div class=\"account\"><b>No "} + Brand(platform) +
           " account is set up here</b><span class=\"muted\">Signing in will fail.</span></div>";
  }
  const std::string shown = account->displayName.empty() ? account->login : account->displayName;
  return "<div class=\"account\"><b>" + HtmlEscape(shown) + "</b><span class=\"muted\">" +
         HtmlEscape(account->login) + " · " + HtmlEscape(account->id) + "</span></div>";
}

std::string AsksFor(const std::string& clientId, const std::vector<std::string>& scopes) {
  std::string out = "<p class=\"muted\">The app with client id <b>" + HtmlEscape(clientId) +
                    "</b> asks to use your account";
  if (scopes.empty()) return out + ".</p>";
  out += " for:</p><ul>";
  for (const std::string& scope : scopes) out += "<li>" + HtmlEscape(scope) + "</li>";
  return out + "</ul>";
}

std::string DecisionForm(const std::string& path, const char* label, const char* cssClass,
                         const std::string& handle) {
  return "<form method=\"post\" action=\"" + path +
         "\"><input type=\"hidden\" name=\"handle\" value=\"" + HtmlEscape(handle) +
         "\"><button type=\"submit\" class=\"" + cssClass + "\">" + label + "</button></form>";
}

}  // namespace

std::string DecisionPath(PlatformId platform, bool approve) {
  const std::string base = platform == PlatformId::Kick ? kKickAuthorizePath : kGoogleAuthorizePath;
  return base + (approve ? "/approve" : "/deny");
}

std::string ActivatePageHtml(const SimAccount* account, const std::string& userCode,
                             const DeviceSession* device, const std::string& note) {
  std::string body =
      "<h1>Activate your device</h1><p class=\"muted\">Enter the code shown on your device to "
      "connect it to your Twitch account.</p>" +
      AccountBox(PlatformId::Twitch, account);
  if (!note.empty()) body += "<p class=\"note\">" + HtmlEscape(note) + "</p>";
  if (device) body += AsksFor(device->clientId, device->scopes);
  body += std::string{"<form method=\"post\" action=\""} + kActivateApprovePath +
          "\"><label for=\"user_code\">Code</label><input type=\"text\" id=\"user_code\" "
          "name=\"user_code\" maxlength=\"9\" autocomplete=\"off\" required value=\"" +
          HtmlEscape(userCode) +
          "\"><div class=\"buttons\"><button type=\"submit\" class=\"approve\">Authorize</button>"
          "<button type=\"submit\" class=\"deny\" formaction=\"" +
          kActivateDenyPath + "\" formnovalidate>Deny</button></div></form>";
  return Page(PlatformId::Twitch, "Activate your device – Twitch", body);
}

std::string ApprovalPageHtml(const AuthorizationRequest& request, const SimAccount* account) {
  const std::string brand = Brand(request.platform);
  const std::string body =
      "<h1>Sign in with " + brand + "</h1>" + AccountBox(request.platform, account) +
      AsksFor(request.clientId, request.scopes) + "<div class=\"buttons\">" +
      DecisionForm(DecisionPath(request.platform, true), "Allow", "approve", request.handle) +
      DecisionForm(DecisionPath(request.platform, false), "Deny", "deny", request.handle) +
      "</div>";
  return Page(request.platform, "Sign in – " + brand, body);
}

std::string InvalidRequestPageHtml(PlatformId platform, const std::string& detail) {
  return Page(platform, "Error 400: invalid_request",
              "<h1>Error 400: invalid_request</h1><p>" + HtmlEscape(detail) + "</p>");
}

std::string OwnAppNoticeHtml(PlatformId platform, const std::string& heading,
                             const std::string& text) {
  return Page(platform, heading + " – " + Brand(platform),
              "<h1>" + HtmlEscape(heading) + "</h1><p>" + HtmlEscape(text) + "</p>");
}

}  // namespace vlo::sim
