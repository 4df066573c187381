#pragma once

// The platforms' pages of a sign-in with the user's own app, for a person in a browser:
// Twitch's "/activate" page, Google's and Kick's approval pages and the short pages that follow.
// Self-contained HTML (styles inline, no scripts); no code, state or token appears in them.

#include <string>

#include "sim/accounts/AccountsSim.h"

namespace vlo::sim {

inline constexpr const char* kDeviceAuthorizationPath = "/oauth2/device";
inline constexpr const char* kActivatePath = "/activate";
inline constexpr const char* kActivateApprovePath = "/activate/approve";
inline constexpr const char* kActivateDenyPath = "/activate/deny";
inline constexpr const char* kGoogleAuthorizePath = "/o/oauth2/v2/auth";
inline constexpr const char* kKickAuthorizePath = "/oauth/authorize";

// Where the approval page's buttons post for a platform: the authorization path + "/approve" or
// "/deny".
std::string DecisionPath(plx::PlatformId platform, bool approve);

// The page where a person types or confirms a user code. `device` (null when the code is unknown
// or none was given) shows what the app asks for; `account` may be null when no Twitch account
// exists; `note` is an optional line above the form.
std::string ActivatePageHtml(const SimAccount* account, const std::string& userCode,
                             const DeviceSession* device, const std::string& note);

// The page asking to allow the app's request, with Allow and Deny buttons posting its handle.
std::string ApprovalPageHtml(const AuthorizationRequest& request, const SimAccount* account);

// "Error 400: invalid_request" with one line telling what is wrong.
std::string InvalidRequestPageHtml(plx::PlatformId platform, const std::string& detail);

// A page with a heading and one line of text, in the platform's look.
std::string OwnAppNoticeHtml(plx::PlatformId platform, const std::string& heading,
                             const std::string& text);

}  // namespace vlo::sim
