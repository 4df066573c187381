// Renders the chat view filled with the sample chat in two themes to PNG files, so that the look
// can be checked without a display: chatview-snapshots [output folder] (default ./ui-snapshots).
#include <QApplication>
#include <QDir>
#include <QImage>
#include <cstdio>

#include "ui/chatview/ChatView.h"
#include "ui/chatview/tools/SampleChat.h"
#include "ui/toolkit/UiKit.h"

namespace {

bool Render(const vlo::Theme& theme, const QString& folder, bool scrolledUp) {
  vlo::WindowPalette window{theme.windowPalette};
  window.accent = vlo::readableAccent(window.accent);
  vlo::UiKit::SetPalette(window);

  vlo::ChatView view;
  view.SetChatPalette(theme.chatPalette);
  view.SetAnimationClock([] { return int64_t{0}; });
  view.SetImageSource(vlo::sample::SampleImages(), vlo::sample::SampleLookup());
  view.resize(440, 600);
  view.show();  // offscreen: delivers the resize events a hidden widget would hold back
  QApplication::processEvents();
  view.SetRows(vlo::sample::SampleRows(1'700'000'000'000));
  if (scrolledUp) {
    view.ScrollTo(0);
    std::vector<plx::ChatRow> more{view.Rows()};
    for (int i{0}; i < 3; ++i) more.push_back(vlo::sample::MakeRow(1000 + i, "new message"));
    view.SetRows(std::move(more));
  } else {
    view.resize(440, view.Scroll().contentHeight);
    QApplication::processEvents();
    view.JumpToLatest();
  }
  QString name{QString::fromUtf8(theme.key.data(), static_cast<int>(theme.key.size()))};
  QString path{folder + "/chatview-" + name + (scrolledUp ? "-scrolled" : "") + ".png"};
  if (!view.grab().toImage().save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app{argc, argv};
  QString folder{argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("ui-snapshots")};
  QDir{}.mkpath(folder);
  bool ok{Render(vlo::FindTheme("neon"), folder, false)};
  ok = Render(vlo::FindTheme("calm"), folder, false) && ok;
  ok = Render(vlo::FindTheme("neon"), folder, true) && ok;
  return ok ? 0 : 1;
}
