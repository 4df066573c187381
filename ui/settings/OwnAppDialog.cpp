#include "ui/settings/OwnAppDialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "accounts/LoopbackRedirect.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {

namespace {

constexpr int kStatic{-1};
constexpr int kWidth{440};  // units; the content is 400 wide
constexpr Rgb kNoteText{Hex(0x9A94A4)};
constexpr Rgb kErrorText{Hex(0xFFC0C8)};

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where the app is registered, as the introduction says it.
QString Intro(plx::PlatformId platform, const QString& portal) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return QStringLiteral(
                 "Sign in at Google with an OAuth client you made for the YouTube Data API, "
                 "instead of through %1.")
          .arg(portal);
    case plx::PlatformId::Kick:
      return QStringLiteral(
                 "Sign in at Kick with an app you registered in Kick's developer settings, "
                 "instead of through %1.")
          .arg(portal);
    default:
      return QStringLiteral(
                 "Sign in at Twitch with an app you registered yourself, instead of through %1.")
          .arg(portal);
  }
}

void Recolour(KitLabel* label, Rgb color) {
  QPalette colors{label->palette()};
  colors.setColor(QPalette::WindowText, ToQColor(color));
  label->setPalette(colors);
}

}  // namespace

OwnAppDialog::OwnAppDialog(QWidget* owner, plx::PlatformId platform,
                           std::optional<plx::OAuthClient> stored, int port,
                           const std::string& portalDomain)
    : QDialog{owner}, platform_{platform}, port_{port} {
  setWindowTitle(QStringLiteral("Your own %1 app").arg(plx::PlatformName(platform)));
  setAttribute(Qt::WA_OpaquePaintEvent);
  kit_.InitForWindow(this);
  if (stored && !UsesRedirect(platform)) carriedSecret_ = stored->clientSecret;
  Build(stored, portalDomain);
}

void OwnAppDialog::Build(const std::optional<plx::OAuthClient>& stored,
                         const std::string& portalDomain) {
  const bool redirect{UsesRedirect(platform_)};
  auto* column{new QVBoxLayout{this}};
  column->setContentsMargins(kit_.Scale(20), kit_.Scale(18), kit_.Scale(20), kit_.Scale(16));
  column->setSpacing(kit_.Scale(14));

  const auto note = [this](const QString& text) {
    KitLabel* label{CreateLabel(this, kit_, kStatic, text, false, false)};
    label->setFont(kit_.smallFont);
    label->setWordWrap(true);
    Recolour(label, kNoteText);
    return label;
  };
  const auto edit = [this](int id, bool readOnly, bool password, const QFont& font) {
    KitEdit* field{CreateEdit(this, kit_, id, readOnly, password)};
    field->setFont(font);
    field->setMaxLength(200);
    field->setFixedHeight(kit_.Scale(32));
    return field;
  };
  // A field: its name above it, then the control (or a row of them) and an optional note.
  const auto field = [&](const QString& name, QLayoutItem* control, KitLabel* below = nullptr) {
    auto* group{new QVBoxLayout};
    group->setSpacing(kit_.Scale(5));
    group->addWidget(CreateLabel(this, kit_, kStatic, name, true, false));
    group->addItem(control);
    if (below) group->addWidget(below);
    column->addLayout(group);
  };
  const auto alone = [](QWidget* widget) { return new QWidgetItem{widget}; };

  KitLabel* heading{CreateLabel(this, kit_, kStatic, windowTitle(), false, false)};
  QFont headingFont{kit_.semiboldFont};
  headingFont.setPixelSize(kit_.Scale(17));
  heading->setFont(headingFont);
  KitLabel* intro{CreateLabel(this, kit_, kStatic,
                              Intro(platform_, QString::fromStdString(portalDomain)), true, false)};
  intro->setWordWrap(true);
  auto* top{new QVBoxLayout};
  top->setSpacing(kit_.Scale(6));
  top->addWidget(heading);
  top->addWidget(intro);
  column->addLayout(top);

  clientId_ = edit(kClientId, false, false, kit_.monoFont);
  SetCueText(clientId_, QStringLiteral("Paste the app's client ID"));
  if (stored) clientId_->setText(QString::fromStdString(stored->clientId));
  field(QStringLiteral("Client ID"), alone(clientId_),
        redirect ? nullptr
                 : note(QStringLiteral(
                       "No client secret and no redirect address are needed: Twitch's page asks "
                       "for a code, which the settings window shows while you sign in. Register "
                       "the app at dev.twitch.tv as a Public client.")));

  if (redirect) {
    // The stored secret is shown masked only; the field cannot copy it out.
    secret_ = edit(kSecret, false, true, kit_.monoFont);
    SetCueText(secret_, QStringLiteral("Paste the app's client secret"));
    if (stored) secret_->setText(QString::fromStdString(stored->clientSecret));
    field(QStringLiteral("Client secret"), alone(secret_),
          note(QStringLiteral("Kept sealed with your sign-ins, never in a settings file.")));

    address_ = edit(kAddress, true, false, kit_.monoFont);
    address_->setText(QString::fromStdString(LoopbackRedirect::RedirectUri(port_)));
    address_->setCursorPosition(0);
    copy_ = CreateButton(this, kit_, kCopy, QStringLiteral("Copy"), ButtonKind::Plain);
    copy_->setFixedSize(kit_.Scale(80), kit_.Scale(32));
    connect(copy_, &QAbstractButton::clicked, this, [this] { Copy(); });
    auto* addressRow{new QHBoxLayout};
    addressRow->setSpacing(kit_.Scale(8));
    addressRow->addWidget(address_, 1);
    addressRow->addWidget(copy_);
    field(QStringLiteral("Redirect address to register"), addressRow);

    portEdit_ = edit(kPort, false, false, kit_.monoFont);
    portEdit_->setMaxLength(5);
    portEdit_->setFixedWidth(kit_.Scale(96));
    portEdit_->setText(QString::number(port_));
    connect(portEdit_, &QLineEdit::textEdited, this, [this] { PortEdited(); });
    KitLabel* shared{note(QStringLiteral("YouTube and Kick share this port."))};
    shared->setWordWrap(false);
    auto* portRow{new QHBoxLayout};
    portRow->setSpacing(kit_.Scale(12));
    portRow->addWidget(portEdit_);
    portRow->addWidget(shared, 1);
    field(QStringLiteral("Sign-in port"), portRow,
          note(QStringLiteral("Change it only when another program uses the port, and register "
                              "the new address with your apps.")));
  }

  error_ = CreateLabel(this, kit_, kStatic, QString{}, false, false);
  Recolour(error_, kErrorText);
  error_->setWordWrap(true);
  error_->setMinimumHeight(kit_.Scale(20));

  auto* buttons{new QHBoxLayout};
  buttons->setSpacing(kit_.Scale(8));
  const auto button = [&](int id, const char* text, ButtonKind kind) {
    KitButton* b{CreateButton(this, kit_, id, QString::fromUtf8(text), kind)};
    b->setFixedSize(kit_.Scale(96), kit_.Scale(34));
    return b;
  };
  KitButton* remove{button(kRemove, "Remove", ButtonKind::Danger)};
  remove->setEnabled(stored.has_value());
  connect(remove, &QAbstractButton::clicked, this, [this] { Remove(); });
  KitButton* cancel{button(kCancel, "Cancel", ButtonKind::Plain)};
  connect(cancel, &QAbstractButton::clicked, this, [this] { reject(); });
  KitButton* save{button(kSave, "Save", ButtonKind::Primary)};
  connect(save, &QAbstractButton::clicked, this, [this] { Save(); });
  buttons->addWidget(remove);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  buttons->addWidget(save);
  auto* bottom{new QVBoxLayout};
  bottom->setSpacing(kit_.Scale(6));
  bottom->addWidget(error_);
  bottom->addLayout(buttons);
  column->addLayout(bottom);

  // Tab order: the fields top to bottom, then Save before Cancel and Remove.
  setTabOrder(cancel, save);
  setTabOrder(save, remove);
  setFixedWidth(kit_.Scale(kWidth));
  setFixedHeight(heightForWidth(kit_.Scale(kWidth)));
  clientId_->setFocus(Qt::OtherFocusReason);
}

void OwnAppDialog::Save() {
  const OwnAppCheck check{CheckOwnApp(
      platform_, OwnAppEntry{clientId_->text().toStdString(),
                             secret_ ? secret_->text().toStdString() : carriedSecret_,
                             portEdit_ ? portEdit_->text().toStdString() : std::string{}})};
  if (!check.ok()) {
    error_->setText(Q(check.error));
    KitEdit* wrong{check.error == kPortInvalid                                      ? portEdit_
                   : check.error == kSecretMissing || check.error == kSecretInvalid ? secret_
                                                                                    : clientId_};
    if (wrong) wrong->setFocus(Qt::OtherFocusReason);
    return;
  }
  entry_ = check;
  outcome_ = Outcome::Saved;
  accept();
}

void OwnAppDialog::Remove() {
  outcome_ = Outcome::Removed;
  accept();
}

void OwnAppDialog::Copy() {
  if (!address_) return;
  QGuiApplication::clipboard()->setText(address_->text());
  copy_->setText(QStringLiteral("Copied"));
}

void OwnAppDialog::PortEdited() {
  const int port{ParseRedirectPort(portEdit_->text().toStdString())};
  if (port == 0) return;  // the address keeps the last valid port until Save says why
  port_ = port;
  const QString address{QString::fromStdString(LoopbackRedirect::RedirectUri(port))};
  if (address == address_->text()) return;
  address_->setText(address);
  address_->setCursorPosition(0);
  copy_->setText(QStringLiteral("Copy"));
}

void OwnAppDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Save();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape rejects
}

void OwnAppDialog::paintEvent(QPaintEvent*) {
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));
}

QWidget* OwnAppDialog::Control(int id) const {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QVariant value{child->property("commandId")};
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

QString OwnAppDialog::ErrorText() const { return error_->text(); }

QString OwnAppDialog::Address() const { return address_ ? address_->text() : QString{}; }

}  // namespace vlo
