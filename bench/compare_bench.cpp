// How fast two revisions of the largest file the readers accept (2000 sections of 100
// concrete and 100 steel fibers, 33 MB each) are compared once both are read:
//   CompareRevision       titled files, the new one with 14 sections changed (7 with a bar
//                         moved, 7 with a bar resized) and 2 inserted: matched by title,
//                         concrete regions built for the 16 that differ
//   CompareIdentical      the file against a second read of itself
//   CompareAllShifted     the revision matched by number, so that every section after the
//                         first insertion differs: the cost when nearly everything changed
// Before those, in a process that has read nothing yet, the real windows run the revision
// as a user does: the main window opens the old file, 比较… reads the new one and opens
// 两个文件的比较, which compares, and then compares once more. A timer ticking on the
// window's thread finds the longest stall of its event loop meanwhile, and the high-water
// mark of the resident memory (VmHWM) gives what reading and comparing added to the
// program's start-up, against the two stores.
// The program ends with 1 when a file cannot be written or read or a comparison does not
// find what was changed, so that a script running it fails too.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "bench/fiber_files.h"
#include "data/section_file.h"
#include "plot/section_compare.h"
#include "widgets/compare_table_model.h"
#include "widgets/compare_window.h"

namespace {

using fiberview::bench::kLargestFibers;
using fiberview::bench::kLargestSections;

constexpr std::array<int, 4> kRevisionCounts{2, 0, 14, 1986};

fiberview::SectionStore gBefore, gSame, gAfter;
bool gFailed = false;

void compare(benchmark::State& state, const fiberview::SectionStore& after,
             fiberview::CompareOptions options, std::array<int, 4> expected) {
  fiberview::Feedback feedback;
  for (auto _ : state) {
    const auto c = fiberview::compareStores(gBefore, after, options, feedback);
    if (!c || c->counts != expected) {
      state.SkipWithError("比较结果不对");
      gFailed = true;
      break;
    }
    benchmark::DoNotOptimize(c->sections.data());
  }
}

// The sections 101 + 130k (k = 0 … 13) whose bar k+1 the revision moves by 25 mm (k even)
// or makes 0.77 times as large (k odd).
int changedSection(int number) {
  return number > 100 && (number - 101) % 130 == 0 && number <= 101 + 130 * 13
             ? (number - 101) / 130
             : -1;
}

// Writes the two revisions from `plain`, a file of writeOldFormatFile: `oldPath` as it is
// with the title KZn above section n, and `newPath` with 14 sections changed (see
// changedSection) and copies of sections 501 and 1501, titled KZ501A and KZ1501A, inserted
// before them. Streams line by line, so that writing leaves no mark on the memory measured.
bool writeRevisions(const std::string& plain, const std::string& oldPath,
                    const std::string& newPath) {
  std::ifstream in(plain, std::ios::binary);
  std::ofstream before(oldPath, std::ios::binary);
  std::ofstream after(newPath, std::ios::binary);
  std::string line;
  if (!std::getline(in, line)) return false;
  before << line << '\n';
  after << (kLargestSections + 2) << "\r\n";
  const int linesPerSection = 1 + kLargestFibers + kLargestFibers;
  std::vector<std::string> section(static_cast<std::size_t>(linesPerSection));
  for (int n = 1; n <= kLargestSections; ++n) {
    for (std::string& l : section) {
      if (!std::getline(in, l)) return false;
      l += '\n';
    }
    const std::string title = "KZ" + std::to_string(n);
    before << title << "\r\n";
    for (const std::string& l : section) before << l;
    if (n == 501 || n == 1501) {
      after << title << "A\r\n";
      for (const std::string& l : section) after << l;
    }
    if (const int k = changedSection(n); k >= 0) {
      std::string& bar = section[static_cast<std::size_t>(1 + kLargestFibers + k)];
      double values[5];
      const char* at = bar.data();
      const char* const end = bar.data() + bar.size();
      for (double& v : values) {
        while (at < end && *at == ' ') ++at;
        at = std::from_chars(at, end, v).ptr;
      }
      if (k % 2 == 0) {
        values[0] += 25;
      } else {
        values[2] *= 0.77;
      }
      bar.clear();
      for (double v : values) {
        char text[32];
        bar.append(text, std::to_chars(text, text + sizeof text, v).ptr).push_back(' ');
      }
      bar += "\r\n";
    }
    after << title << "\r\n";
    for (const std::string& l : section) after << l;
  }
  return before.flush().good() && after.flush().good();
}

// A figure of the process's memory in KiB from /proc/self/status, such as "VmHWM:" (the
// peak resident set so far) or "RssFile:" (the resident pages of mapped files); -1 when
// unknown.
long statusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == field) {
      long kib = -1;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

double megabytes(long kib) {
  return static_cast<double>(kib) * 1024.0 / 1e6;
}

// The longest time between two ticks of a timer on the window's thread, which ticks every
// 2 ms while the event loop is free.
class StallWatch {
 public:
  StallWatch() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { longest_ = std::max(longest_, since_.restart()); });
  }
  void start() {
    longest_ = 0;
    since_.start();
    timer_.start();
  }
  qint64 stop() {
    timer_.stop();
    return std::max(longest_, since_.elapsed());
  }

 private:
  QTimer timer_;
  QElapsedTimer since_;
  qint64 longest_ = 0;
};

// Runs the event loop until `done` holds, for at most a minute; whether it came to hold.
template <typename Done>
bool runUntil(Done done) {
  const QDeadlineTimer deadline(60000);
  while (!done() && !deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  return done();
}

// Runs the event loop for `ms` milliseconds, so that what follows a result (the layout and
// painting of the window) falls within a measurement too.
void settle(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
}

struct WindowFigures {
  qint64 openStall = 0;  // from 比较… until the comparison shows, the new file's read included
  qint64 compareStall = 0;  // while the window compares again
  qint64 compareMs = 0;     // the window's comparison, from its start to its result shown
  double addedMB = 0;       // the peak beyond that of the program started
  // Of that: pages of the libraries and the font first used by the new window, and the
  // pixels of the window, which the platform keeps in the process's memory.
  double filesMB = 0;
  double pixelsMB = 0;
};

// The revision through the real windows; nullopt, with a message, where any step fails.
std::optional<WindowFigures> throughTheWindow(const std::string& oldPath,
                                              const std::string& newPath) {
  auto dialogs = std::make_unique<fiberview::ScriptedDialogs>();
  fiberview::ScriptedDialogs& scripted = *dialogs;
  fiberview::Form1 form(std::move(dialogs));
  form.show();
  settle(200);
  const long start = statusKiB("VmHWM:");
  const long startFiles = statusKiB("RssFile:");
  WindowFigures figures;

  const QString before = QString::fromStdString(oldPath);
  form.openFile(before);
  fiberview::FileDocument& document = form.document();
  const auto opened = [&] {
    return document.path() == before && !document.isWorking(fiberview::FileDocument::Work::Reading);
  };
  if (!runUntil(opened) || document.sectionCount() != kLargestSections) {
    std::fprintf(stderr, "主窗口没有读入旧文件：%s\n", qPrintable(scripted.reports.join('\n')));
    return std::nullopt;
  }

  StallWatch watch;
  watch.start();
  scripted.nextFiles << QString::fromStdString(newPath);
  form.findChild<QAction*>(QStringLiteral("CompareAction"))->trigger();
  const auto shown = [&] {
    const fiberview::CompareWindow* w = form.compareWindow();
    return w != nullptr && !w->isWorking() && w->model()->rowCount() > 0;
  };
  if (!runUntil(shown)) {
    std::fprintf(stderr, "比较窗口没有比较完：%s\n", qPrintable(scripted.reports.join('\n')));
    return std::nullopt;
  }
  settle(300);
  figures.openStall = watch.stop();

  fiberview::CompareWindow& window = *form.compareWindow();
  bool finished = false;
  QObject::connect(&window, &fiberview::CompareWindow::workFinished, [&] { finished = true; });
  watch.start();
  QElapsedTimer took;
  took.start();
  window.compare();
  if (!runUntil([&] { return finished; })) return std::nullopt;
  figures.compareMs = took.elapsed();
  settle(300);
  figures.compareStall = watch.stop();
  if (window.model()->comparison().counts != kRevisionCounts) {
    std::fprintf(stderr, "比较窗口的结果不对\n");
    return std::nullopt;
  }
  figures.addedMB = megabytes(statusKiB("VmHWM:") - start);
  figures.filesMB = megabytes(statusKiB("RssFile:") - startFiles);
  const QSize pixels = window.size() * window.devicePixelRatio();
  figures.pixelsMB = 4.0 * pixels.width() * pixels.height() / 1e6;
  return figures;
}

bool read(const std::string& path, fiberview::SectionStore& into) {
  fiberview::ReadOptions options;
  options.concreteCount = kLargestFibers;
  options.steelCount = kLargestFibers;
  options.hasTitleLine = true;
  fiberview::ReadResult result = fiberview::readSectionFile(path, options);
  auto* store = std::get_if<fiberview::SectionStore>(&result);
  if (store == nullptr) return false;
  into = std::move(*store);
  return true;
}

const char* verdict(bool met) {
  return met ? "达标" : "未达标";
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  const fiberview::bench::TemporaryFile plain("compare-plain");
  const fiberview::bench::TemporaryFile oldFile("compare-old");
  const fiberview::bench::TemporaryFile newFile("compare-new");
  if (fiberview::bench::writeOldFormatFile(plain.path(), kLargestSections, kLargestFibers,
                                           kLargestFibers) == 0 ||
      !writeRevisions(plain.path(), oldFile.path(), newFile.path())) {
    std::fprintf(stderr, "无法写入基准文件 %s\n", newFile.path().c_str());
    return 1;
  }

  QApplication app(argc, argv);
  fiberview::setUpApplication();
  const std::optional<WindowFigures> window = throughTheWindow(oldFile.path(), newFile.path());
  if (!window) return 1;

  if (!read(oldFile.path(), gBefore) || !read(oldFile.path(), gSame) ||
      !read(newFile.path(), gAfter)) {
    std::fprintf(stderr, "无法读取基准文件\n");
    return 1;
  }
  benchmark::RegisterBenchmark("CompareRevision", compare, gAfter, fiberview::CompareOptions{},
                               kRevisionCounts)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("CompareIdentical", compare, gSame, fiberview::CompareOptions{},
                               std::array<int, 4>{0, 0, 0, 2000})
      ->Unit(benchmark::kMillisecond);
  // From section 501 on each new section holds another old one than its number: 1504 changed,
  // 4 of them among the first 500.
  benchmark::RegisterBenchmark("CompareAllShifted", compare, gAfter,
                               fiberview::CompareOptions{0.0, true},
                               std::array<int, 4>{2, 0, 1504, 496})
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double stores =
      2.0 *
      static_cast<double>(fiberview::storeBytes(kLargestSections, kLargestFibers, kLargestFibers)) /
      1e6;
  std::printf("窗口中比较两个 33 MB 文件（按标题配对，改变 14，新增 2）：%lld ms，目标 ≤ 1 s：%s\n",
              static_cast<long long>(window->compareMs), verdict(window->compareMs <= 1000));
  std::printf(
      "比较时窗口事件循环最长停顿 %lld ms，目标 ≤ 100 ms：%s；"
      "从“比较…”读取新文件、打开窗口到显示结果期间最长停顿 %lld ms\n",
      static_cast<long long>(window->compareStall), verdict(window->compareStall <= 100),
      static_cast<long long>(window->openStall));
  std::printf(
      "读取并比较两个文件使内存峰值（VmHWM）比启动多 %.1f MB，两份截面数据 %.1f MB，"
      "是其 %.3f 倍，目标 ≤ 1.1 倍：%s\n",
      window->addedMB, stores, window->addedMB / stores, verdict(window->addedMB <= 1.1 * stores));
  const double data = window->addedMB - window->filesMB - window->pixelsMB;
  std::printf(
      "  其中新用到的程序库与字体文件页面 %.1f MB，比较窗口的像素 %.1f MB；"
      "其余 %.1f MB，是截面数据的 %.3f 倍\n",
      window->filesMB, window->pixelsMB, data, data / stores);
  return gFailed ? 1 : 0;
}
