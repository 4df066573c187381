#include "ui/chatview/tools/SampleChat.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstring>

namespace vlo::sample {

namespace {

SharedImage FromQImage(const QImage& source) {
  QImage image{source.convertToFormat(QImage::Format_ARGB32_Premultiplied)};
  auto decoded{std::make_shared<DecodedImage>()};
  decoded->width = static_cast<uint32_t>(image.width());
  decoded->height = static_cast<uint32_t>(image.height());
  std::vector<uint8_t> bytes(static_cast<size_t>(image.width()) * image.height() * 4);
  for (int y{0}; y < image.height(); ++y) {
    std::memcpy(bytes.data() + static_cast<size_t>(y) * image.width() * 4, image.constScanLine(y),
                static_cast<size_t>(image.width()) * 4);
  }
  decoded->frames.push_back(std::move(bytes));
  return decoded;
}

QImage DrawFace(int width, int height, int hue, double turn) {
  QImage image{width, height, QImage::Format_ARGB32_Premultiplied};
  image.fill(Qt::transparent);
  QPainter painter{&image};
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box{1, 1, width - 2.0, height - 2.0};
  painter.setPen(QPen{QColor::fromHsv(hue, 200, 120), 2});
  painter.setBrush(QColor::fromHsv(hue, 170, 250));
  painter.drawEllipse(box);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor{40, 30, 40});
  const double eye{std::min(width, height) / 9.0};
  const QPointF centre{box.center()};
  painter.translate(centre);
  painter.rotate(turn);
  painter.translate(-centre);
  painter.drawEllipse(QPointF{box.left() + box.width() * 0.35, box.top() + box.height() * 0.38},
                      eye, eye);
  painter.drawEllipse(QPointF{box.left() + box.width() * 0.65, box.top() + box.height() * 0.38},
                      eye, eye);
  QPainterPath smile;
  smile.moveTo(box.left() + box.width() * 0.28, box.top() + box.height() * 0.6);
  smile.quadTo(centre.x(), box.top() + box.height() * 0.9, box.left() + box.width() * 0.72,
               box.top() + box.height() * 0.6);
  painter.setPen(QPen{QColor{40, 30, 40}, std::max(1.5, eye / 1.5), Qt::SolidLine, Qt::RoundCap});
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(smile);
  return image;
}

}  // namespace

SharedImage MakeFace(int width, int height, int hue) {
  return FromQImage(DrawFace(width, height, hue, 0));
}

SharedImage MakeSpinner(int size, int frames, int delayMs) {
  auto animation{std::make_shared<DecodedImage>()};
  for (int i{0}; i < frames; ++i) {
    SharedImage frame{
        FromQImage(DrawFace(size, size, (i * 360 / frames) % 360, i * 360.0 / frames))};
    animation->width = frame->width;
    animation->height = frame->height;
    animation->frames.push_back(frame->frames.front());
    animation->delays.push_back(static_cast<uint32_t>(delayMs));
    animation->totalMs += delayMs;
  }
  return animation;
}

SharedImage MakeHat(int size) {
  QImage image{size, size, QImage::Format_ARGB32_Premultiplied};
  image.fill(Qt::transparent);
  QPainter painter{&image};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor{30, 28, 40});
  painter.drawRect(QRectF{size * 0.3, size * 0.02, size * 0.4, size * 0.3});
  painter.drawRoundedRect(QRectF{size * 0.12, size * 0.28, size * 0.76, size * 0.08}, 2, 2);
  painter.setBrush(QColor{220, 40, 60});
  painter.drawRect(QRectF{size * 0.3, size * 0.22, size * 0.4, size * 0.06});
  painter.end();
  return FromQImage(image);
}

std::shared_ptr<MapImageSource> SampleImages() {
  auto images{std::make_shared<MapImageSource>()};
  images->Add(kGrinKey, MakeFace(56, 56, 45));
  images->Add(kWideKey, MakeFace(112, 56, 200));
  images->Add(kSpinKey, MakeSpinner(56, 12, 60));
  images->Add(kHatKey, MakeHat(56));
  return images;
}

PlatformEmoteLookup SampleLookup() {
  return [](plx::PlatformId, std::string_view word) -> std::optional<EmoteDef> {
    if (word == "grin") return EmoteDef{"grin", kGrinKey, EmoteSource::SevenTv, false, true};
    if (word == "wide") return EmoteDef{"wide", kWideKey, EmoteSource::BetterTtv, false, false};
    if (word == "spin") return EmoteDef{"spin", kSpinKey, EmoteSource::FrankerFaceZ, false, true};
    if (word == "hat") return EmoteDef{"hat", kHatKey, EmoteSource::SevenTv, true, false};
    return std::nullopt;
  };
}

plx::ChatRow MakeRow(int index, std::string body) {
  plx::ChatRow row;
  row.id = "row-" + std::to_string(index);
  row.platform = static_cast<plx::PlatformId>(index % 3);
  row.author = "viewer" + std::to_string(index % 97);
  row.body = std::move(body);
  row.timestampMs = 1'700'000'000'000 + index * 1000LL;
  row.tags = {"color=#" + std::string{index % 2 ? "1E90FF" : "FF7F50"}};
  row.authorId = "u" + std::to_string(index % 97);
  row.platformMessageId = "m" + std::to_string(index);
  return row;
}

std::vector<plx::ChatRow> SampleRows(int64_t startMs) {
  using plx::PlatformId;
  std::vector<plx::ChatRow> rows;
  int n{0};
  auto add = [&](PlatformId platform, std::string author, std::string body,
                 std::vector<std::string> tags, bool deleted = false) {
    plx::ChatRow row;
    row.id = "sample-" + std::to_string(++n);
    row.platform = platform;
    row.author = std::move(author);
    row.body = std::move(body);
    row.timestampMs = startMs + n * 37'000LL;
    row.tags = std::move(tags);
    row.authorId = row.author.empty() ? "" : "id-" + row.author;
    row.platformMessageId = "pm-" + std::to_string(n);
    row.deleted = deleted;
    rows.push_back(std::move(row));
  };
  add(PlatformId::Twitch, "", "Connected to #velaro", {"system"});
  add(PlatformId::Twitch, "velaro", "Welcome in everyone, starting in a minute grin",
      {"broadcaster", "subscriber", "color=#FF1FB4"});
  add(PlatformId::Twitch, "ModMarta", "Reminder: be kind, no spoilers please",
      {"moderator", "subscriber", "color=#39C5BB"});
  add(PlatformId::YouTube, "Deniz Kaya", "hello from Istanbul! \xF0\x9F\x91\x8B wide wide",
      {"member"});
  add(PlatformId::Kick, "kicker_joe", "spin hat spin hat double hats", {"vip", "color=#000000"});
  add(PlatformId::Twitch, "first_timer", "first time here, this overlay is a mood grin hat",
      {"first", "color=#0000FF"});
  add(PlatformId::Twitch, "", "velaro_fan subscribed for 12 months: \"still here!\"",
      {"event", "subscriber"});
  add(PlatformId::YouTube, "Ana Souza",
      "Super Chat R$ 20,00: keep going, this is a long message "
      "that wraps over more than one line so that the tinted background grows with it",
      {"event"});
  add(PlatformId::Twitch, "velaro", "thanks all, raid incoming in five",
      {"outbound", "twitch", "youtube", "kick"});
  add(PlatformId::Kick, "spammer42", "buy followers grin at example dot com", {"color=#808080"},
      true);
  add(PlatformId::Twitch, "lurker", "waves quietly", {"action", "color=#8A2BE2"});
  add(PlatformId::YouTube, "", "YouTube chat is slow mode: 5 s", {"system"});
  add(PlatformId::Kick, "gamer_gal", "GG that was insane spin spin spin",
      {"subscriber", "color=#53FC18"});
  add(PlatformId::Twitch, "NightOwl",
      "a fairly long line of chat text that keeps going and going to "
      "show the wrapping of body text across the width of the view, with grin in the middle",
      {"color=#FFD700"});
  add(PlatformId::YouTube, "Long Display Name That Gets Trimmed At The End Of The Header",
      "names that are too long are cut with an ellipsis", {"member", "moderator"});
  return rows;
}

}  // namespace vlo::sample
