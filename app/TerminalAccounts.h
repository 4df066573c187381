#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "core/Endpoints.h"
#include "core/Platform.h"

namespace vlo {

// Signs in from a terminal: prints the portal's connect address (and opens it when a browser is
// at hand), waits, then prints "Connected as …" or why the sign-in did not finish. Returns the exit
// code (0 signed in, 1 not).
int RunTerminalSignIn(plx::PlatformId platform, const Endpoints& endpoints,
                      const std::filesystem::path& dataFolder, std::ostream& out,
                      std::ostream& err);

// Makes a running RunTerminalSignIn cancel its sign-in. Any thread.
void CancelTerminalSignIn();

// Forgets the platform's token and asks the portal to revoke it. Returns the exit code.
int RunTerminalSignOut(plx::PlatformId platform, const Endpoints& endpoints,
                       const std::filesystem::path& dataFolder, std::ostream& out,
                       std::ostream& err);

// "twitch", "youtube" or "kick" (any case) to the platform; false for anything else.
bool ParseSignInPlatform(const std::string& text, plx::PlatformId& platform);

}  // namespace vlo
