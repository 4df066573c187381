#pragma once

#include <string>

namespace vlo {

// Asks the desktop to open `url` in the user's browser (xdg-open, detached). False when there is
// no desktop session or the opener could not be started; whether a browser appeared is not
// known.
bool OpenInBrowser(const std::string& url);

}  // namespace vlo
