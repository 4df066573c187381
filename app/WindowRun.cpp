#include "app/WindowRun.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>
#include <iostream>

#include "app/SingleInstance.h"
#include "core/AppPaths.h"
#include "ui/mainwindow/ChatWindow.h"

namespace vlo {

bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

int RunWindow(int argc, char** argv, const Options& options, const Endpoints& endpoints,
              std::optional<ChatTargets> targetOverride,
              std::function<void(ChatHub&)> registerReaders) {
  // A screenshot needs no screen: render off-screen when there is none.
  if (options.screenshot && !HaveDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app{argc, argv};
  QApplication::setApplicationName("Velaro Chat");
  QApplication::setDesktopFileName("velaro-chat");

  SingleInstance instance{QString::fromStdString(SingleInstanceName(options.profile))};
  if (!options.screenshot && !instance.Acquire()) return 0;

  ChatWindow::Options windowOptions;
  windowOptions.profile = options.profile;
  windowOptions.dataFolder = AppPaths::ResolveDataFolder(options.profile);
  windowOptions.endpoints = endpoints;
  windowOptions.targetOverride = std::move(targetOverride);
  windowOptions.registerReaders = std::move(registerReaders);

  int exitCode = 0;
  {
    ChatWindow window{std::move(windowOptions)};
    instance.SetOnActivate([&window] {
      if (window.isMinimized()) window.showNormal();
      window.show();
      window.raise();
      window.activateWindow();
    });
    window.Open();

    if (options.screenshot) {
      const QString file = QString::fromStdString(*options.screenshot);
      QTimer::singleShot(static_cast<int>(options.screenshotAfterSeconds * 1000), &window,
                         [&window, &exitCode, file] {
                           window.RefreshFromHub();
                           if (!window.grab().save(file, "PNG")) {
                             std::cerr << "velaro-chat: cannot write " << file.toStdString()
                                       << "\n";
                             exitCode = 1;
                           }
                           window.close();
                         });
    }
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    const int loop = app.exec();
    if (exitCode == 0) exitCode = loop;
  }
  return exitCode;
}

}  // namespace vlo
