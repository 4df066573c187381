#pragma once

#include <QApplication>
#include <string>
#include <vector>

#include "ui/chatview/ChatView.h"
#include "ui/chatview/ImageSource.h"
#include "ui/chatview/tools/SampleChat.h"

namespace vlo::test {

inline plx::ChatRow Row(std::string id, std::string body, std::vector<std::string> tags = {},
                        plx::PlatformId platform = plx::PlatformId::Twitch) {
  plx::ChatRow row;
  row.id = std::move(id);
  row.platform = platform;
  row.author = "viewer";
  row.body = std::move(body);
  row.timestampMs = 1'700'000'000'000;
  row.tags = std::move(tags);
  row.authorId = "42";
  row.platformMessageId = "pm-" + row.id;
  return row;
}

inline std::vector<plx::ChatRow> Rows(int from, int to) {
  std::vector<plx::ChatRow> rows;
  for (int i{from}; i < to; ++i)
    rows.push_back(Row("r" + std::to_string(i), "message " + std::to_string(i)));
  return rows;
}

// A shown 440 × 300 view with the sample emotes ("grin", "wide", "spin", "hat").
struct ViewFixture {
  ViewFixture() {
    images = sample::SampleImages();
    view.SetImageSource(images, sample::SampleLookup());
    view.SetAnimationClock([] { return int64_t{0}; });
    view.resize(440, 300);
    view.show();
    QApplication::processEvents();
  }
  std::shared_ptr<MapImageSource> images;
  ChatView view;
};

}  // namespace vlo::test
