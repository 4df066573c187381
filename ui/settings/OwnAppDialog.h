#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "accounts/SecretStore.h"
#include "core/Platform.h"
#include "ui/settings/OwnAppForm.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

class KitButton;
class KitEdit;
class KitLabel;

// "Your own <Platform> app": the client id, for YouTube and Kick also the client secret (masked),
// the redirect address to register with a Copy button and the sign-in port; Save, Remove and
// Cancel. It only collects and checks; its owner stores the result. Escape cancels, Enter saves.
// Window thread only.
class OwnAppDialog : public QDialog {
  Q_OBJECT

 public:
  // Command identifiers of the controls.
  static constexpr int kClientId{10};
  static constexpr int kSecret{11};  // YouTube and Kick
  static constexpr int kAddress{12};
  static constexpr int kCopy{13};
  static constexpr int kPort{14};
  static constexpr int kRemove{20};
  static constexpr int kCancel{21};
  static constexpr int kSave{22};

  enum class Outcome { Cancelled, Saved, Removed };

  // `stored` fills the fields and offers Remove; `port` is the sign-in port in use.
  OwnAppDialog(QWidget* owner, plx::PlatformId platform, std::optional<plx::OAuthClient> stored,
               int port, const std::string& portalDomain);

  plx::PlatformId Platform() const { return platform_; }
  Outcome Chosen() const { return outcome_; }
  // The checked client and port, after Saved.
  const OwnAppCheck& Entry() const { return entry_; }

  // The control with the given command identifier, or null (YouTube and Kick only for the
  // secret, the address, Copy and the port).
  QWidget* Control(int id) const;
  QString ErrorText() const;
  // The redirect address shown, for the port as typed (the last valid one while it is not).
  QString Address() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Build(const std::optional<plx::OAuthClient>& stored, const std::string& portalDomain);
  void Save();
  void Remove();
  void Copy();
  void PortEdited();

  const plx::PlatformId platform_;
  UiKit kit_;
  Outcome outcome_{Outcome::Cancelled};
  OwnAppCheck entry_;
  // Twitch's stored secret (for a client registered elsewhere), kept as it is.
  std::string carriedSecret_;
  int port_;

  KitEdit* clientId_{nullptr};
  KitEdit* secret_{nullptr};
  KitEdit* address_{nullptr};
  KitButton* copy_{nullptr};
  KitEdit* portEdit_{nullptr};
  KitLabel* error_{nullptr};
};

}  // namespace vlo
