#pragma once

#include <string>

#include "core/ChatSettings.h"

namespace vlo {

// The page address a streaming program loads as a browser source, with the page options the
// user chose and the window's theme, text size, name colours and times:
// "http://127.0.0.1:<port>/overlay?theme=…&size=…&names=…&platforms=…&max=…" and, when they
// differ from the page's defaults, "&fade=<seconds>", "&alerts=0" or "&only=alerts", "&time=1".
std::string OverlayPageAddress(const ChatSettings& settings);

}  // namespace vlo
