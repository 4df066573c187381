// Layout and paint figures of the chat view under the offscreen platform:
// BuildLayout per row, a full relayout of 1000 rows at 440 pixels, one paint with 10 animated
// emotes visible.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include "ui/chatview/ChatView.h"
#include "ui/chatview/tools/SampleChat.h"

namespace {

using vlo::ChatView;

struct Env {
  Env() {
    view.SetImageSource(vlo::sample::SampleImages(), vlo::sample::SampleLookup());
    view.resize(440 + view.verticalScrollBar()->sizeHint().width(), 720);
    view.show();
    QApplication::processEvents();
  }
  ChatView view;
};

Env& Shared() {
  static Env env;
  return env;
}

plx::ChatRow RowWith(std::string body) { return vlo::sample::MakeRow(7, std::move(body)); }

void BuildOne(benchmark::State& state, const std::string& body) {
  Env& env{Shared()};
  const plx::ChatRow row{RowWith(body)};
  for (auto _ : state) {
    ChatView::RowLayout layout{env.view.BuildLayout(row, 440)};
    benchmark::DoNotOptimize(layout.height);
  }
}

void BM_BuildLayoutPlain(benchmark::State& state) {
  BuildOne(state, "that was a great play, what a clutch in the last round");
}
BENCHMARK(BM_BuildLayoutPlain)->Unit(benchmark::kMicrosecond);

void BM_BuildLayoutFiveEmotes(benchmark::State& state) {
  BuildOne(state, "grin nice wide spin hat grin and spin");
}
BENCHMARK(BM_BuildLayoutFiveEmotes)->Unit(benchmark::kMicrosecond);

void BM_BuildLayoutThreeLines(benchmark::State& state) {
  BuildOne(state,
           "a longer message that keeps going so that it wraps across three lines of the chat "
           "view at four hundred and forty pixels wide, which is typical for a side window");
}
BENCHMARK(BM_BuildLayoutThreeLines)->Unit(benchmark::kMicrosecond);

std::vector<plx::ChatRow> ThousandRows() {
  const char* bodies[]{"hello chat",
                       "grin that was great wide",
                       "what a play spin hat",
                       "a somewhat longer message that wraps onto a second line in a narrow view",
                       "lol",
                       "GG everyone, see you tomorrow at the same time"};
  std::vector<plx::ChatRow> rows;
  for (int i{0}; i < 1000; ++i) rows.push_back(vlo::sample::MakeRow(i, bodies[i % 6]));
  return rows;
}

void BM_FullRelayout1000Rows(benchmark::State& state) {
  Env& env{Shared()};
  env.view.SetRows(ThousandRows());
  int flip{0};
  for (auto _ : state) {
    // A width change empties the cache, so every row is laid out again.
    env.view.resize(440 + env.view.verticalScrollBar()->sizeHint().width() + (++flip & 1), 720);
    QApplication::processEvents();
  }
  state.counters["rows"] = 1000;
}
BENCHMARK(BM_FullRelayout1000Rows)->Unit(benchmark::kMillisecond);

void BM_PaintWithTenAnimatedEmotes(benchmark::State& state) {
  Env& env{Shared()};
  env.view.resize(440 + env.view.verticalScrollBar()->sizeHint().width(), 720);
  QApplication::processEvents();
  std::vector<plx::ChatRow> rows{ThousandRows()};
  for (int i{0}; i < 5; ++i) {
    rows.push_back(vlo::sample::MakeRow(2000 + i, "spin and spin again"));
  }
  env.view.SetRows(std::move(rows));
  QImage target{env.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied};
  int64_t now{0};
  env.view.SetAnimationClock([&now] { return now; });
  for (auto _ : state) {
    now += 33;
    env.view.viewport()->render(&target);
  }
  state.counters["animating"] = env.view.Animating() ? 1 : 0;
}
BENCHMARK(BM_PaintWithTenAnimatedEmotes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app{argc, argv};
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
