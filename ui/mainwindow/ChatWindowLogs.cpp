#include <QUrl>

#include "logs/LogFormat.h"
#include "ui/mainwindow/ChatWindow.h"

namespace vlo {

void ChatWindow::KeepChatLogs(const ChatSettings& settings) {
  if (!settings.chatLogs || !options_.keepLogs) {
    logs_.reset();  // writes out what is queued and joins the writer
    return;
  }
  if (logs_) return;
  ChatLogOptions logOptions;
  logOptions.folder = LogsFolder(options_.dataFolder);
  logs_ = std::make_unique<ChatLogWriter>(*hub_, std::move(logOptions));
}

void ChatWindow::OpenLogsFolder() {
  const std::filesystem::path folder = LogsFolder(options_.dataFolder);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (options_.openUrl) {
    options_.openUrl(
        QUrl::fromLocalFile(QString::fromStdString(folder.string())).toString().toStdString());
  }
}

}  // namespace vlo
