#pragma once

// The portal's pages for a person in a browser: the connect page with its Approve and Deny
// buttons, and the short pages that follow. Self-contained HTML (styles inline, no scripts).

#include <string>
#include <vector>

#include "sim/accounts/AccountsSim.h"

namespace vlo::sim {

inline constexpr const char* kApprovePath = "/connect/approve";
inline constexpr const char* kDenyPath = "/connect/deny";

// `account` may be null when no account of the platform exists.
std::string ConnectPageHtml(plx::PlatformId platform, const SimAccount* account,
                            const std::vector<std::string>& scopes, const std::string& challenge);
// A page with a heading and one line of text.
std::string NoticePageHtml(const std::string& heading, const std::string& text);

}  // namespace vlo::sim
