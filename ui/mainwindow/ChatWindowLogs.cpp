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

}  // namespace vlo
