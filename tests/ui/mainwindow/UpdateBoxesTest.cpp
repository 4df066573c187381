// The update banner's rules and the update's message boxes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTimer>

#include "ui/mainwindow/HeaderModel.h"
#include "ui/mainwindow/UpdateBanner.h"
#include "ui/mainwindow/UpdateBoxes.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {
namespace {

TEST(UpdateBannerTest, TextsAndColours) {
  EXPECT_EQ(BannerText(UpdateState::Available, "1.1.4"),
            "Version 1.1.4 is available  ·  Click to update");
  EXPECT_EQ(BannerText(UpdateState::Installing, "1.1.4"),
            "Updating to 1.1.4… the chat reopens by itself");
  EXPECT_EQ(BannerTooltip("1.1.4"), "Version 1.1.4 is available. Click to update.");
  EXPECT_EQ(UpdateFailedText("Update cancelled."),
            "The update did not start.\n\nUpdate cancelled.");

  const Rgb accent{Hex(0xB026FF)};
  const Rgb surface{Hex(0x15121A)};
  const Rgb base = readableAccent(accent);
  EXPECT_EQ(BannerColor(UpdateState::Available, false, accent, surface), base);
  EXPECT_EQ(BannerColor(UpdateState::Available, true, accent, surface),
            blend(Rgb{255, 255, 255}, base, 14));
  // Installing is dimmed whether or not the pointer is over it.
  EXPECT_EQ(BannerColor(UpdateState::Installing, true, accent, surface), blend(base, surface, 45));
  EXPECT_EQ(BannerColor(UpdateState::Installing, false, accent, surface), blend(base, surface, 45));
}

TEST(UpdateBannerTest, TheBannerIsAnItemOnlyWhileShown) {
  const WindowLayout shown = ComputeLayout(440, 760, true);
  EXPECT_EQ(HitTest(shown, QPoint{220, 60}, true), kItemBanner);
  EXPECT_EQ(HitTest(shown, QPoint{220, 85}, true), kItemBanner);
  EXPECT_EQ(HitTest(shown, QPoint{220, 86}, true), kItemNone);
  const WindowLayout hidden = ComputeLayout(440, 760, false);
  EXPECT_TRUE(hidden.banner.isEmpty());
  EXPECT_EQ(HitTest(hidden, QPoint{220, 60}, false), kItemNone);
  EXPECT_EQ(hidden.chat.top(), 56);
}

// Answers the box that opens next: clicks the button with `caption`, or presses Escape when it
// is empty. Also keeps what the box showed and, when `picture` is given, saves it there.
struct BoxDriver {
  BoxDriver(QString caption, QString picture) : caption{caption}, picture{picture} {}

  QString caption;
  QString picture;
  QString title;
  QStringList texts;

  void Arm() {
    QTimer::singleShot(0, [this] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      for (KitLabel* label : box->findChildren<KitLabel*>()) texts << label->text();
      if (!picture.isEmpty()) box->grab().save(picture, "PNG");
      if (caption.isEmpty()) {
        QKeyEvent escape{QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier};
        QApplication::sendEvent(box, &escape);
        return;
      }
      for (KitButton* button : box->findChildren<KitButton*>()) {
        if (button->text() == caption) button->click();
      }
    });
  }
};

TEST(UpdateBoxesTest, TheQuestionShowsItsTextsAndOnlyYesIsYes) {
  const QString folder =
      qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) + "/ui-snapshots";
  QDir{}.mkpath(folder);
  const QString question = QString::fromStdString(UpdateQuestion("1.1.4"));
  struct Case {
    QString caption;
    bool yes;
  };
  for (const Case& c : {Case{"Yes", true}, Case{"No", false}, Case{"", false}}) {
    BoxDriver driver{c.caption, c.yes ? folder + "/update-question.png" : QString{}};
    driver.Arm();
    EXPECT_EQ(AskYesNo(nullptr, "Velaro Chat (Beta)", question), c.yes) << c.caption.toStdString();
    EXPECT_EQ(driver.title, "Velaro Chat (Beta)");
    EXPECT_EQ(driver.texts,
              (QStringList{"Update Velaro Chat to version 1.1.4 now?",
                           "The chat closes for a few seconds while it updates and then opens "
                           "again by itself. Your channels, sign-ins and settings stay as they "
                           "are."}));
  }

  BoxDriver warning{"OK", folder + "/update-warning.png"};
  warning.Arm();
  ShowWarning(nullptr, "Velaro Chat (Beta)",
              QString::fromStdString(
                  UpdateFailedText("Installer checksum does not match. The file will not run.")));
  EXPECT_EQ(warning.texts, (QStringList{"The update did not start.",
                                        "Installer checksum does not match. The file will not "
                                        "run."}));
}

}  // namespace
}  // namespace vlo
