#include "app/TerminalAccounts.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "app/OpenUrl.h"
#include "core/ChatSettings.h"
#include "core/TextRules.h"

namespace vlo {

namespace {

std::mutex gMutex;
std::condition_variable gChanged;
bool gCancel = false;                          // guarded by gMutex
std::optional<plx::OAuthLoginResult> gResult;  // guarded by gMutex

std::unique_ptr<SecretStore> OpenStore(const std::filesystem::path& dataFolder, std::ostream& err) {
  try {
    return std::make_unique<SecretStore>(dataFolder);
  } catch (const std::filesystem::filesystem_error& e) {
    err << "velaro-chat: cannot create the data folder " << dataFolder.string() << " ("
        << e.code().message() << ")\n";
    return nullptr;
  }
}

}  // namespace

bool ParseSignInPlatform(const std::string& text, plx::PlatformId& platform) {
  const std::string key = AsciiLower(text);
  for (plx::PlatformId p : plx::kReadPlatforms) {
    if (key == plx::PlatformKey(p)) {
      platform = p;
      return true;
    }
  }
  return false;
}

void CancelTerminalSignIn() {
  {
    std::lock_guard lock{gMutex};
    gCancel = true;
  }
  gChanged.notify_all();
}

int RunTerminalSignIn(plx::PlatformId platform, const Endpoints& endpoints,
                      const std::filesystem::path& dataFolder, std::ostream& out,
                      std::ostream& err) {
  const std::unique_ptr<SecretStore> store = OpenStore(dataFolder, err);
  if (!store) return 1;
  AccountService accounts{*store, endpoints, [&out, &err, platform](const std::string& url) {
                            err << "Open this address in a browser to sign in to "
                                << plx::PlatformName(platform) << " (Ctrl-C cancels):\n";
                            out << url << std::endl;
                            OpenInBrowser(url);
                          }};
  // The port the user registered with their own YouTube or Kick app, as chosen in the settings.
  accounts.SetRedirectPort(LoadChatSettings(dataFolder).ownAppRedirectPort);
  // The device sign-in of the user's own Twitch app: its page and the code to enter there.
  accounts.SetSignInPromptObserver([&out, &err](const SignInPrompt& prompt) {
    err << "Open this address in a browser and enter the code there to sign in to "
        << plx::PlatformName(prompt.platform) << " (Ctrl-C cancels):\n";
    out << prompt.url << "\nCode: " << prompt.userCode << std::endl;
    OpenInBrowser(prompt.url);
  });
  // Called on the sign-in worker.
  accounts.SetSignInObserver([](const plx::OAuthLoginResult& result) {
    {
      std::lock_guard lock{gMutex};
      gResult = result;
    }
    gChanged.notify_all();
  });

  std::string error;
  if (!accounts.StartSignIn(platform, &error)) {
    err << "Could not start the sign-in: " << error << "\n";
    return 1;
  }
  plx::OAuthLoginResult result;
  {
    std::unique_lock lock{gMutex};
    gChanged.wait(lock, [] { return gResult.has_value() || gCancel; });
    if (!gResult) {
      accounts.CancelSignIn();  // the worker reports Cancelled within about 100 ms
      gChanged.wait(lock, [] { return gResult.has_value(); });
    }
    result = *gResult;
  }
  accounts.SetSignInObserver({});
  accounts.Shutdown();

  if (result.ok) {
    out << result.message << std::endl;
    return 0;
  }
  if (result.code == plx::LoginErrorCode::Cancelled) {
    out << result.message << std::endl;
  } else {
    out << "Sign-in did not finish: " << result.message << std::endl;
  }
  return 1;
}

int RunTerminalSignOut(plx::PlatformId platform, const Endpoints& endpoints,
                       const std::filesystem::path& dataFolder, std::ostream& out,
                       std::ostream& err) {
  const std::unique_ptr<SecretStore> store = OpenStore(dataFolder, err);
  if (!store) return 1;
  AccountService accounts{*store, endpoints, {}};
  const std::optional<plx::TokenRecord> token = accounts.GetToken(platform);
  if (!token) {
    out << "Not signed in to " << plx::PlatformName(platform) << std::endl;
    return 0;
  }
  accounts.ForgetAccount(platform);
  accounts.RevokeToken(platform, *token);
  out << "Signed out of " << plx::PlatformName(platform) << std::endl;
  return 0;
}

}  // namespace vlo
