#pragma once

#include <functional>

#include "app/Options.h"
#include "core/ChatHub.h"
#include "core/Endpoints.h"

namespace vlo {

// Runs the main window until it closes. A second start of the same profile only raises the
// first window and returns 0. Returns the exit code.
int RunWindow(int argc, char** argv, const Options& options, const Endpoints& endpoints,
              std::optional<ChatTargets> targetOverride,
              std::function<void(ChatHub&)> registerReaders);

// Any thread (the stop-signal thread): closes the main window as the user would (placement and
// settings saved), now or as soon as it exists.
void RequestWindowClose();

// True when a window can be shown (a display, or an explicit Qt platform such as offscreen).
bool HaveDisplay();

}  // namespace vlo
