// The window with a long keyword list, driven as the user drives it: the
// list pasted into the text list with Ctrl+V, Remove duplicates and Sort by
// their shortcuts, and the list and the grid scrolled with the page keys
// and the wheel.
// Each step is timed from the key until the window has painted the result.
// A command's time in the window is set against the time the same command
// takes in a bare model holding the same list (the best of three runs):
// the difference is what showing it costs.
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM names another.
// Arguments: line counts to try (default 100000 and 1000000).

#include <sys/resource.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/form_main.h"
#include "base/collation.h"
#include "base/cp1251.h"
#include "bench/app/keyword_list.h"
#include "ui/form_main.h"

namespace {

// Goals: pasting under a second; a command costs at most half a second more
// in the window than in the model; a scroll step well under a frame.
constexpr double kPasteGoal = 1.0;
constexpr double kShowingGoal = 0.5;
constexpr double kFrame = 1.0 / 60;
constexpr double kScrollMeanGoal = kFrame / 4;
constexpr double kScrollPeakGoal = kFrame;
constexpr int kScrollSteps = 200;

// Counts the paint events of a widget and of everything inside it.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
  }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

// Lets the event loop run until every counter has seen a paint since
// `before` (the window has shown the step), or a long time has passed.
bool WaitPainted(const std::vector<std::pair<PaintCounter*, int>>& before) {
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    QApplication::processEvents();
    bool all = true;
    for (const auto& [counter, count] : before) all = all && counter->count > count;
    if (all) return true;
    if (waited.elapsed() > 30'000) return false;
  }
}

struct Window {
  kv::ui::FormMain form{"http://127.0.0.1:1"};
  QWidget* list = nullptr;
  QWidget* grid = nullptr;
  std::unique_ptr<PaintCounter> list_paints;
  std::unique_ptr<PaintCounter> grid_paints;

  Window() {
    form.show();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form)) std::fprintf(stderr, "the window did not become active\n");
    list = form.findChild<QWidget*>("MemoArea");
    grid = form.findChild<QWidget*>("StrGrid1");
    list_paints = std::make_unique<PaintCounter>(list);
    grid_paints = std::make_unique<PaintCounter>(grid);
    list->setFocus();
    QApplication::processEvents();
  }

  enum class Shows { kList, kGrid, kBoth };

  // Seconds from sending the key to the window until the list, the grid or
  // both have painted.
  double Key(Qt::Key key, Qt::KeyboardModifiers modifiers, Shows shows = Shows::kList) {
    const auto before = Counts(shows);
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(form.windowHandle(), key, modifiers);
    if (!WaitPainted(before)) std::fprintf(stderr, "no paint after key %x\n", key);
    return Seconds(timer);
  }

  // A key whose effect is not timed, and may show nothing.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(form.windowHandle(), key, modifiers);
    QApplication::processEvents();
  }

  // One notch of the wheel up, over the focused list or grid.
  double WheelUp(Shows shows) {
    QWidget* target = shows == Shows::kGrid ? grid : list;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target)) target = area->viewport();
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    const auto before = Counts(shows);
    QElapsedTimer timer;
    timer.start();
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
    if (!WaitPainted(before)) std::fprintf(stderr, "no paint after a wheel step\n");
    return Seconds(timer);
  }

  std::vector<std::pair<PaintCounter*, int>> Counts(Shows shows) const {
    std::vector<std::pair<PaintCounter*, int>> counts;
    if (shows != Shows::kGrid) counts.push_back({list_paints.get(), list_paints->count});
    if (shows != Shows::kList) counts.push_back({grid_paints.get(), grid_paints->count});
    return counts;
  }

  std::string StatusText() const {
    return kv::Utf8ToCp1251(form.findChild<QLabel*>("StatusText")->text().toStdString());
  }
};

struct Step {
  const char* name;
  double window = 0;
  double model = -1;  // none: the step has no model command
};

struct ScrollFigures {
  double mean = 0;
  double peak = 0;
  double jump_peak = 0;
};

struct SizeFigures {
  size_t lines = 0;
  std::vector<Step> steps;
  ScrollFigures list_scroll;
  ScrollFigures grid_scroll;
  bool same_result = true;
};

bool SameLists(kv::TFormMainModel& window, kv::TFormMainModel& model) {
  if (window.MemoArea.Text() != model.MemoArea.Text()) return false;
  if (window.StrGrid1.RowCount() != model.StrGrid1.RowCount()) return false;
  for (int row = 0; row < window.StrGrid1.RowCount(); ++row)
    for (int col = 0; col < kv::TStringGrid::ColCount; ++col)
      if (window.StrGrid1.Cell(col, row) != model.StrGrid1.Cell(col, row)) return false;
  return true;
}

using Handler = void (kv::TFormMainModel::*)();

// A bare model holding `text` after `earlier` ran on it, and the least time
// of three runs of `command` on such a model: the model's own time, with
// as little of the machine's other load in it as can be had.
struct ModelRun {
  std::unique_ptr<kv::TFormMainModel> model;
  double seconds = 0;
};

ModelRun RunOnModel(const std::string& text, const std::vector<Handler>& earlier, Handler command) {
  ModelRun best;
  for (int run = 0; run < 3; ++run) {
    auto model = std::make_unique<kv::TFormMainModel>();
    model->FormShow();
    model->MemoArea.SetText(text);
    for (Handler handler : earlier) ((*model).*handler)();
    QElapsedTimer timer;
    timer.start();
    ((*model).*command)();
    const double seconds = Seconds(timer);
    if (run == 0 || seconds < best.seconds) best.seconds = seconds;
    best.model = std::move(model);
  }
  return best;
}

// Scrolling the list or the grid: page by page from the top, a jump to the
// end, page by page back, the wheel up and a jump to the top.
ScrollFigures Scroll(Window& window, Window::Shows shows) {
  (shows == Window::Shows::kGrid ? window.grid : window.list)->setFocus();
  QApplication::processEvents();
  ScrollFigures scroll;
  std::vector<double> step_times;
  window.Press(Qt::Key_Home, Qt::ControlModifier);  // the caret may be anywhere after the commands
  for (int i = 0; i < kScrollSteps; ++i) step_times.push_back(window.Key(Qt::Key_PageDown, Qt::NoModifier, shows));
  scroll.jump_peak = window.Key(Qt::Key_End, Qt::ControlModifier, shows);
  for (int i = 0; i < kScrollSteps; ++i) step_times.push_back(window.Key(Qt::Key_PageUp, Qt::NoModifier, shows));
  for (int i = 0; i < kScrollSteps; ++i) step_times.push_back(window.WheelUp(shows));
  scroll.jump_peak = std::max(scroll.jump_peak, window.Key(Qt::Key_Home, Qt::ControlModifier, shows));
  double sum = 0;
  for (double t : step_times) {
    sum += t;
    scroll.peak = std::max(scroll.peak, t);
  }
  scroll.mean = sum / static_cast<double>(step_times.size());
  return scroll;
}

SizeFigures RunSize(size_t line_count) {
  SizeFigures figures;
  figures.lines = line_count;

  // The clipboard holds what another program copied: the lines in UTF-16,
  // each ended by a line feed.
  std::string model_text;
  {
    QString clipboard_text;
    for (const std::string& line : kv::bench::MakeKeywordLines(line_count, 0.3)) {
      clipboard_text += QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
      clipboard_text += u'\n';
      model_text += kv::Utf8ToCp1251(line);
      model_text += "\r\n";
    }
    QApplication::clipboard()->setText(clipboard_text);
  }

  Window window;
  figures.steps.push_back({"Paste (Ctrl+V)", window.Key(Qt::Key_V, Qt::ControlModifier)});

  Step remove{"Remove duplicates (Ctrl+R)"};
  remove.window = window.Key(Qt::Key_R, Qt::ControlModifier, Window::Shows::kBoth);
  ModelRun model = RunOnModel(model_text, {}, &kv::TFormMainModel::RemDupButtClick);
  remove.model = model.seconds;
  figures.same_result = figures.same_result && SameLists(window.form.Model(), *model.model) &&
                        window.StatusText() == model.model->StatusBar1.SimpleText();
  figures.steps.push_back(remove);

  Step sort{"Sort (Ctrl+S)"};
  sort.window = window.Key(Qt::Key_S, Qt::ControlModifier, Window::Shows::kBoth);
  model = RunOnModel(model_text, {&kv::TFormMainModel::RemDupButtClick}, &kv::TFormMainModel::SortButtClick);
  sort.model = model.seconds;
  figures.same_result = figures.same_result && SameLists(window.form.Model(), *model.model);
  figures.steps.push_back(sort);
  model = {};
  model_text = std::string();

  figures.list_scroll = Scroll(window, Window::Shows::kList);
  figures.grid_scroll = Scroll(window, Window::Shows::kGrid);
  return figures;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void Print(const SizeFigures& f) {
  std::printf("\nText list of %zu lines\n", f.lines);
  std::printf("  %-28s %10s %10s %12s %8s   %s\n", "step", "window s", "model s", "showing s", "ratio", "goal");
  for (const Step& step : f.steps) {
    if (step.model < 0) {
      std::printf("  %-28s %10.3f %10s %12s %8s   < %.1f s: %s\n", step.name, step.window, "-", "-", "-", kPasteGoal,
                  Verdict(step.window < kPasteGoal));
      continue;
    }
    const double showing = step.window - step.model;
    std::printf("  %-28s %10.3f %10.3f %12.3f %8.2f   showing < %.1f s: %s\n", step.name, step.window, step.model,
                showing, step.window / step.model, kShowingGoal, Verdict(showing < kShowingGoal));
  }
  const struct {
    const char* name;
    const ScrollFigures& figures;
  } scrolls[] = {{"list", f.list_scroll}, {"grid", f.grid_scroll}};
  for (const auto& [name, scroll] : scrolls) {
    std::printf("  %s scroll step (page, wheel)  mean %.2f ms, peak %.2f ms   mean < %.1f ms: %s, peak < %.1f ms: %s\n",
                name, scroll.mean * 1e3, scroll.peak * 1e3, kScrollMeanGoal * 1e3, Verdict(scroll.mean < kScrollMeanGoal),
                kScrollPeakGoal * 1e3, Verdict(scroll.peak < kScrollPeakGoal));
    std::printf("  %s Ctrl+End, Ctrl+Home        peak %.2f ms   < %.1f ms: %s\n", name, scroll.jump_peak * 1e3,
                kScrollPeakGoal * 1e3, Verdict(scroll.jump_peak < kScrollPeakGoal));
  }
  if (!f.same_result) std::printf("  THE WINDOW'S RESULT DIFFERS FROM THE MODEL'S\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kv::SetDefaultCollatorLocale("ru_RU");

  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::strtoull(argv[i], nullptr, 10)));
  if (sizes.empty()) sizes = {100'000, 1'000'000};

  std::printf("The window driven by keys, %s platform; times from the key to the painted result\n",
              qPrintable(QApplication::platformName()));
  bool same = true;
  for (size_t lines : sizes) {
    const SizeFigures figures = RunSize(lines);
    Print(figures);
    same = same && figures.same_result;
    std::fflush(stdout);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("\nPeak resident memory: %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024);
  return same ? 0 : 1;
}
