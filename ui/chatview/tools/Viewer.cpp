// A window with the chat view filled with sample rows and a trickle of new ones, for looking at
// the view before the main window exists. Keys: T next theme, S text size, C compact, N name
// style, H timestamps, A animation, J jump to latest.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/chatview/ChatView.h"
#include "ui/chatview/tools/SampleChat.h"
#include "ui/toolkit/UiKit.h"

namespace {

class ViewerWindow : public QWidget {
 public:
  ViewerWindow() {
    setWindowTitle(QStringLiteral("Velaro Chat view"));
    auto* layout{new QVBoxLayout{this}};
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new vlo::ChatView{this};
    layout->addWidget(view_);
    kit_.InitForWindow(this);
    view_->SetImageSource(vlo::sample::SampleImages(), vlo::sample::SampleLookup());
    view_->SetEmptyTexts(QStringLiteral("No messages yet"),
                         QStringLiteral("Sample rows arrive every second."));
    ApplyTheme();
    rows_ = vlo::sample::SampleRows(1'700'000'000'000);
    view_->SetRows(rows_);
    connect(&trickle_, &QTimer::timeout, this, [this] {
      std::vector<plx::ChatRow> samples{vlo::sample::SampleRows(1'700'000'000'000)};
      plx::ChatRow row{samples[next_ % samples.size()]};
      row.id = "live-" + std::to_string(next_++);
      rows_.push_back(row);
      if (rows_.size() > 1000) rows_.erase(rows_.begin());
      view_->SetRows(rows_);
    });
    trickle_.start(1000);
    resize(440, 720);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
      case Qt::Key_T:
        theme_ = (theme_ + 1) % vlo::ThemeTable().size();
        ApplyTheme();
        break;
      case Qt::Key_S:
        textSize_ = (textSize_ + 1) % 3;
        view_->SetTextOptions(textSize_, timestamps_, 96);
        break;
      case Qt::Key_H:
        timestamps_ = !timestamps_;
        view_->SetTextOptions(textSize_, timestamps_, 96);
        break;
      case Qt::Key_C:
        compact_ = !compact_;
        view_->SetNameOptions(nameStyle_, compact_);
        break;
      case Qt::Key_N:
        nameStyle_ = static_cast<vlo::NameStyle>((static_cast<int>(nameStyle_) + 1) % 3);
        view_->SetNameOptions(nameStyle_, compact_);
        break;
      case Qt::Key_A:
        animate_ = !animate_;
        view_->SetEmoteOptions(animate_, true);
        break;
      case Qt::Key_J:
        view_->JumpToLatest();
        break;
      default:
        QWidget::keyPressEvent(event);
    }
  }

 private:
  void ApplyTheme() {
    const vlo::Theme& theme{vlo::ThemeTable()[theme_]};
    vlo::WindowPalette window{theme.windowPalette};
    window.accent = vlo::readableAccent(window.accent);
    vlo::UiKit::SetPalette(window);
    view_->SetChatPalette(theme.chatPalette);
  }

  vlo::UiKit kit_;
  vlo::ChatView* view_{nullptr};
  std::vector<plx::ChatRow> rows_;
  QTimer trickle_;
  size_t next_{0};
  size_t theme_{0};
  int textSize_{1};
  bool timestamps_{true};
  bool compact_{false};
  bool animate_{true};
  vlo::NameStyle nameStyle_{vlo::NameStyle::Viewer};
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app{argc, argv};
  ViewerWindow window;
  window.show();
  return app.exec();
}
