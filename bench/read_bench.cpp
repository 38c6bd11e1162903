// How fast the tool reads and draws, against two yardsticks in the same run:
//   ReadLargestFile              the real reader on the 33 MB file of 2000 sections of
//                                100 + 100 fibers
//   DetectLargestFile            layout detection on the same file, which runs only when a
//                                read fails, leaves fields over or its values break a check
//   CheckLargestFile             the value checks every successful read runs on its store
//   ReadTypicalFile              the real reader on a file of 12 sections, 36 + 4 fibers
//   NaiveReadLargestFile         an ifstream >> string >> stod reader on the largest file
//   ScanLargestFileBytes         fread in chunks counting line ends: the floor
//   ScaleAndPaintLargestSection  scaling a 100 + 100 fiber section and painting it with the
//                                real drawing widget into an offscreen image
//   OpenExplorerOnLargestSection  building the section explorer for that section: its
//                                construction, showSection, the layout and its first paint
//                                into an offscreen image
//   CheckLargestSection          every check of that section, its concrete region included
//   CheckHugeMesh                the same on a section of 32761 + 32767 fibers, made here
//   ReadDetectListLargestFile    the window's Read button on the largest file: reading it,
//                                checking its values, detecting its layout where the read
//                                needs it, and listing it
//   OpenDroppedLargestFile       the largest file opened as a drop opens it: detection,
//                                whose confirming read the window takes as its read, the
//                                list and the first section drawn
//                                (both until the window is back: the store a press replaces
//                                is freed afterwards by a worker, untimed)
//   ListManySections             the same on a file of 32,767 sections without fibers
//   ScaleAndPaintHugeSection,    as above, for a section of 32,767 + 32,767 fibers
//   OpenExplorerOnHugeSection
// With --huge, the same read, detect, read + detect + list, drop and byte scan run on a file of
// about 1 GB (5,000 sections of 1,600 + 600 fibers); writing it takes a while, so it runs
// only on request.
// The files are written into the temporary folder at start-up and removed at the end.
// After the table, a summary compares the medians (or the single runs), beside what first
// touching 21 MiB of fresh memory costs on this machine with ordinary and with huge pages:
// the price of every new page a read fills, which differs from machine to machine. The
// program ends with 1 when a file cannot be written, the two readers disagree or a
// benchmark's own check fails, so that a script running it fails too.

#include <benchmark/benchmark.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLayout>
#include <QLineEdit>
#include <QTableView>
#include <QThreadPool>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "bench/fiber_files.h"
#include "bench/naive_reader.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "document/file_document.h"
#include "plot/section_scale.h"
#include "plot/section_summary.h"
#include "widgets/section_explorer.h"
#include "widgets/section_plot_widget.h"

namespace {

using fiberview::FileVersion;
using fiberview::ReadOptions;
using fiberview::SectionStore;
using fiberview::bench::kLargestFibers;
using fiberview::bench::kLargestSections;

constexpr int kManySections = 32767;
constexpr int kHugeSectionFibers = 32767;
constexpr int kHugeFileSections = 5000;
constexpr int kHugeFileConcrete = 1600;
constexpr int kHugeFileSteel = 600;

constexpr int kTypicalSections = 12;
constexpr int kTypicalConcrete = 36;
constexpr int kTypicalSteel = 4;

// Picture1 is 4695 x 3975 twips, 313 x 265 logical pixels, frame included.
constexpr int kPictureWidth = 313;
constexpr int kPictureHeight = 265;
// The explorer's size when it opens.
constexpr int kExplorerWidth = 900;
constexpr int kExplorerHeight = 600;

struct BenchFile {
  std::string path;
  std::int64_t bytes = 0;
  int sections = 0;
  int concrete = 0;
  int steel = 0;

  ReadOptions options() const {
    ReadOptions o;
    o.version = FileVersion::Old;
    o.concreteCount = static_cast<std::int16_t>(concrete);
    o.steelCount = steel;
    o.hasTitleLine = false;
    return o;
  }
};

void readFile(benchmark::State& state, const BenchFile& file) {
  const ReadOptions options = file.options();
  for (auto _ : state) {
    fiberview::ReadResult result = fiberview::readSectionFile(file.path, options);
    const auto* store = std::get_if<SectionStore>(&result);
    if (store == nullptr || store->sections.size() != static_cast<std::size_t>(file.sections)) {
      state.SkipWithError("读取失败或截面数不对");
      break;
    }
    benchmark::DoNotOptimize(store->sections.data());
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

void detectLayout(benchmark::State& state, const BenchFile& file) {
  for (auto _ : state) {
    const fiberview::DetectedLayout layout = fiberview::detectLayoutOfFile(file.path);
    // Detection that stopped early, or saw something else, would be fast for the wrong reason.
    if (!layout.confident || layout.hasTitleLine != false ||
        layout.concreteCount != file.concrete || layout.steelCount != file.steel) {
      state.SkipWithError("判断排列失败或结果不对");
      break;
    }
    benchmark::DoNotOptimize(layout.plausible.data());
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

void checkValues(benchmark::State& state, std::shared_ptr<const SectionStore> store) {
  for (auto _ : state) {
    const auto finding = fiberview::checkValues(*store);
    // A file written right must pass: a finding would be a false alarm.
    if (finding) {
      state.SkipWithError("正确读取的文件被检查报错");
      break;
    }
  }
}

void readFileNaively(benchmark::State& state, const BenchFile& file) {
  for (auto _ : state) {
    fiberview::bench::NaiveStore store;
    if (!fiberview::bench::readNaive(file.path, file.concrete, file.steel, store)) {
      state.SkipWithError("朴素读取失败");
      break;
    }
    benchmark::DoNotOptimize(store.sections.data());
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

void scanBytes(benchmark::State& state, const BenchFile& file) {
  std::vector<char> chunk(64 * 1024);
  const auto expectedLines =
      1 + static_cast<std::ptrdiff_t>(file.sections) * (1 + file.concrete + file.steel);
  for (auto _ : state) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.path.c_str(), "rb"),
                                                             &std::fclose);
    std::ptrdiff_t lines = 0;
    std::size_t got = 0;
    while (in && (got = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0) {
      lines += std::count(chunk.data(), chunk.data() + got, '\n');
    }
    if (lines != expectedLines) {
      state.SkipWithError("行数不对");
      break;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

// A press of the window's is timed until the window is back. The store it replaced is then
// freed by a worker, which the next press is not timed against.
// A read runs as a task of the window's document; the press is done when the read is back
// and its store taken.
void waitForRead(const fiberview::Form1& window) {
  while (window.document().isWorking(fiberview::FileDocument::Work::Reading)) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void letWorkersFinish(benchmark::State& state) {
  state.PauseTiming();
  QThreadPool::globalInstance()->waitForDone();
  state.ResumeTiming();
}

// The Read button, as the user presses it: a worker reads the file, checks its values and
// detects its layout where the read needs it, then the list is filled. The file's own counts
// are typed in first.
void readDetectList(benchmark::State& state, const BenchFile& file) {
  auto scripted = std::make_unique<fiberview::ScriptedDialogs>();
  fiberview::ScriptedDialogs& dialogs = *scripted;
  fiberview::Form1 window(std::move(scripted));
  window.findChild<QLineEdit*>(QStringLiteral("TextConcrete"))
      ->setText(QString::number(file.concrete));
  window.findChild<QLineEdit*>(QStringLiteral("TextSteel"))->setText(QString::number(file.steel));
  const auto* list = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
  for (auto _ : state) {
    dialogs.nextFiles << QString::fromStdString(file.path);
    window.Command5_Click();
    waitForRead(window);
    if (!dialogs.reports.isEmpty() || list->count() != file.sections) {
      state.SkipWithError("读取失败、有提示或列表不全");
      break;
    }
    letWorkersFinish(state);
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

// A file dropped on the window: detection, its confirming read taken as the read, the list
// and the first section drawn.
void openDropped(benchmark::State& state, const BenchFile& file) {
  auto scripted = std::make_unique<fiberview::ScriptedDialogs>();
  fiberview::ScriptedDialogs& dialogs = *scripted;
  fiberview::Form1 window(std::move(scripted));
  const auto* list = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
  for (auto _ : state) {
    window.openFile(QString::fromStdString(file.path));
    waitForRead(window);
    if (!dialogs.reports.isEmpty() || list->count() != file.sections) {
      state.SkipWithError("打开失败、有提示或列表不全");
      break;
    }
    letWorkersFinish(state);
  }
  state.SetBytesProcessed(state.iterations() * file.bytes);
}

// One section of `concrete` + `steel` fibers on a grid, as a reader would have stored it.
std::shared_ptr<const SectionStore> oneSectionStore(int concrete, int steel) {
  SectionStore store;
  fiberview::Section& s = store.sections.emplace_back();
  s.properties = {600.0, 600.0, 30000.0};
  const int columns = static_cast<int>(std::ceil(std::sqrt(concrete)));
  for (int j = 0; j < concrete; ++j) {
    const double x = -300.0 + (j % columns + 0.5) * 600.0 / columns;
    const double y = -300.0 + (j / columns + 0.5) * 600.0 / columns;
    const double cell = 600.0 / columns;
    s.concrete.push_back({x, y, cell * cell, 1, -30, 0.002, 0.0033, 0});
  }
  for (int j = 0; j < steel; ++j) {
    const double t = 6.283185307179586 * j / steel;
    s.steel.push_back({250.0 * std::cos(t), 250.0 * std::sin(t), 314.0, 2, 400});
  }
  return std::make_shared<const SectionStore>(std::move(store));
}

// Counts the pixels of one colour, so that a benchmark can check that it painted discs.
// Discs smaller than a pixel blend with the white around them, so red counts as any pixel
// whose red stands well above its green and blue.
int countPixels(const QImage& image, QRgb colour) {
  const bool red = colour == qRgb(255, 0, 0);
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += red ? qRed(p) == 255 && qGreen(p) < 128 && qGreen(p) == qBlue(p) : p == colour;
    }
  }
  return n;
}

void scaleAndPaint(benchmark::State& state, std::shared_ptr<const SectionStore> store,
                   int section) {
  const std::size_t fibers =
      store->section(section)->concrete.size() + store->section(section)->steel.size();
  fiberview::SectionPlotWidget widget;
  widget.resize(kPictureWidth, kPictureHeight);
  const qreal ratio = widget.devicePixelRatioF();
  QImage image(widget.size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  std::size_t discs = 0;
  for (auto _ : state) {
    // As the Draw button does: scale once to check, then the widget scales as it paints.
    fiberview::PlotResult result = fiberview::scaleSection(
        *store, section, widget.innerWidthTwips(), widget.innerHeightTwips(), FileVersion::Old);
    auto* picture = std::get_if<fiberview::SectionPicture>(&result);
    if (picture == nullptr) {
      state.SkipWithError("缩放失败");
      break;
    }
    discs = picture->discs.size();
    widget.showSection(store, section, FileVersion::Old);
    widget.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
  // A painting that skipped the discs would be fast for the wrong reason.
  if (!state.error_occurred() && (discs != fibers || countPixels(image, qRgb(255, 0, 0)) == 0 ||
                                  countPixels(image, qRgb(0, 0, 0)) == 0)) {
    state.SkipWithError("画面里缺少圆盘");
  }
  state.counters["discs"] = static_cast<double>(discs);
}

void openExplorer(benchmark::State& state, std::shared_ptr<const SectionStore> store, int section) {
  const auto fibers = static_cast<int>(store->section(section)->concrete.size() +
                                       store->section(section)->steel.size());
  QImage image(kExplorerWidth, kExplorerHeight, QImage::Format_ARGB32_Premultiplied);
  int rows = 0;
  for (auto _ : state) {
    // A document of its own each time, so that the region is built each time, as on the
    // first opening for a file.
    fiberview::FileDocument document;
    document.setFile(QString(), fiberview::ReadOptions{}, store);
    document.setCurrentSection(section);
    fiberview::SectionExplorer explorer(document);
    explorer.resize(kExplorerWidth, kExplorerHeight);
    explorer.layout()->activate();
    explorer.render(&image);
    rows = explorer.table()->model()->rowCount();
    benchmark::DoNotOptimize(image.constBits());
  }
  // An explorer that left out the table or the discs would be fast for the wrong reason.
  if (!state.error_occurred() && (rows != fibers || countPixels(image, qRgb(255, 0, 0)) == 0 ||
                                  countPixels(image, qRgb(0, 0, 0)) == 0)) {
    state.SkipWithError("详图里缺少纤维表或圆盘");
  }
  state.counters["rows"] = rows;
}

void checkOneSection(benchmark::State& state, std::shared_ptr<const fiberview::Section> section) {
  std::size_t findings = 0;
  for (auto _ : state) {
    findings = fiberview::checkSection(*section).size();
    benchmark::DoNotOptimize(findings);
  }
  state.counters["findings"] = static_cast<double>(findings);
}

// A 181 × 181 grid of 10 × 10 cells with a bar in every cell but a few, far from the origin.
std::shared_ptr<const fiberview::Section> hugeMesh() {
  auto s = std::make_shared<fiberview::Section>();
  constexpr int kSide = 181;
  for (int j = 0; j < kSide; ++j) {
    for (int i = 0; i < kSide; ++i) {
      s->concrete.push_back({1e6 + 10.0 * i + 5, 2e6 + 10.0 * j + 5, 100, 1, 0, 0, 0, 0});
    }
  }
  for (int k = 0; static_cast<int>(s->steel.size()) < 32767; ++k) {
    s->steel.push_back({1e6 + 10.0 * (k % kSide) + 2, 2e6 + 10.0 * (k / kSide) + 2, 1, 2, 0});
  }
  return s;
}

// Milliseconds to write one byte into each 4 KiB page of 21 MiB (the store of the 33 MB file)
// of fresh memory, asking for huge pages or not; the median of five. -1 when the system
// refuses the memory.
double firstTouchMs(bool hugePages) {
  constexpr std::size_t kBytes = std::size_t{21} << 20;
  std::vector<double> times;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    void* const p =
        ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return -1.0;
    if (hugePages) ::madvise(p, kBytes, MADV_HUGEPAGE);
    auto* const bytes = static_cast<volatile char*>(p);
    for (std::size_t i = 0; i < kBytes; i += 4096) bytes[i] = 1;
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
    ::munmap(p, kBytes);
  }
  std::nth_element(times.begin(), times.begin() + 2, times.end());
  return times[2];
}

void printFirstTouch() {
  std::string mode;
  std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), mode);
  std::printf(
      "  本机首次写入 21 MiB 新内存：普通页 %.1f ms，大页（MADV_HUGEPAGE）%.1f ms；"
      "透明大页设置：%s\n",
      firstTouchMs(false), firstTouchMs(true), mode.empty() ? "未知" : mode.c_str());
}

// The console table, plus the medians kept for the summary and whether any run failed.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) {
        anyFailed_ = true;
        continue;
      }
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
      if (median || single) {
        seconds_[r.run_name.function_name] =
            r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      }
    }
  }

  bool anyFailed() const { return anyFailed_; }

  void printSummary(const BenchFile& largest, const BenchFile* huge) const {
    const double* a = find("ReadLargestFile");
    const double* b = find("ReadTypicalFile");
    const double* c = find("NaiveReadLargestFile");
    const double* d = find("ScanLargestFileBytes");
    const double* e = find("ScaleAndPaintLargestSection");
    const double* f = find("DetectLargestFile");
    const double* g = find("OpenExplorerOnLargestSection");
    const double* h = find("ReadDetectListLargestFile");
    const double* i = find("CheckLargestFile");
    const double* j = find("CheckLargestSection");
    const double* k = find("CheckHugeMesh");
    const auto verdict = [](bool met) { return met ? "达标" : "未达标"; };
    const double megabytes = static_cast<double>(largest.bytes) / 1e6;

    std::printf("\n汇总（墙上时间，有重复时取中位数；1 MB = 10^6 字节）：\n");
    printFirstTouch();
    if (a) {
      std::printf("  (a) 读取 33 MB 文件       %8.1f ms  %6.0f MB/s\n", *a * 1e3, megabytes / *a);
    }
    if (b) std::printf("  (b) 读取典型文件          %8.1f µs\n", *b * 1e6);
    if (c) {
      std::printf("  (c) 朴素读取 33 MB 文件   %8.1f ms  %6.0f MB/s\n", *c * 1e3, megabytes / *c);
    }
    if (d) {
      std::printf("  (d) 扫描 33 MB 文件的字节 %8.1f ms  %6.0f MB/s\n", *d * 1e3, megabytes / *d);
    }
    if (e) {
      std::printf("  (e) 缩放并绘制 100+100 截面 %6.2f ms  目标 < 16 ms：%s\n", *e * 1e3,
                  verdict(*e < 0.016));
    }
    if (f) {
      std::printf("  (f) 判断 33 MB 文件的排列 %8.1f ms  %6.0f MB/s\n", *f * 1e3, megabytes / *f);
    }
    if (g) {
      std::printf("  (g) 打开 100+100 截面的详图 %6.2f ms  目标 < 100 ms：%s\n", *g * 1e3,
                  verdict(*g < 0.100));
    }
    if (j) {
      // A whole file of 2000 such sections is to be checked within a second.
      std::printf("  (j) 检查最大截面        %8.3f ms  目标 < 0.5 ms：%s\n", *j * 1e3,
                  verdict(*j < 0.0005));
    }
    if (k) std::printf("  (k) 检查 32761 + 32767 根纤维的截面 %8.1f ms\n", *k * 1e3);
    if (a && f) {
      std::printf("  (f)/(a) = %.2f，即判断排列用时是读取的 %.2f 倍，目标约 1：%s\n", *f / *a,
                  *f / *a, verdict(*f / *a <= 1.3));
    }
    if (const double* o = find("OpenDroppedLargestFile"); o && d) {
      std::printf(
          "  拖入打开 33 MB（判断+读取+列出+绘图）%8.1f ms，为扫描字节的 %.1f 倍，目标 ≤ 2：%s\n",
          *o * 1e3, *o / *d, verdict(*o / *d <= 2.0));
    }
    if (h) {
      std::printf("  (h) 读取+判断+列出 33 MB  %8.1f ms  %6.0f MB/s\n", *h * 1e3, megabytes / *h);
    }
    if (a && c) std::printf("  (c)/(a) = %.1f，目标 ≥ 3：%s\n", *c / *a, verdict(*c / *a >= 3.0));
    if (a && d)
      std::printf("  (a)/(d) = %.1f，即读取用时是逐字节扫描的 %.1f 倍\n", *a / *d, *a / *d);
    if (h && d) {
      std::printf("  (h)/(d) = %.1f，读取+判断+列出用时是逐字节扫描的 %.1f 倍，目标 ≤ 2：%s\n",
                  *h / *d, *h / *d, verdict(*h / *d <= 2.0));
    }
    if (i) std::printf("  (i) 检查 33 MB 文件的数值 %8.1f ms\n", *i * 1e3);
    if (a && i && d) {
      std::printf("  ((a)+(i))/(d) = %.1f，即读取并检查数值用时是逐字节扫描的 %.1f 倍\n",
                  (*a + *i) / *d, (*a + *i) / *d);
    }
    const std::pair<const char*, const char*> sizes[] = {
        {"ListManySections", "读取+判断+列出 32767 节（无纤维）"},
        {"ScaleAndPaintHugeSection", "缩放并绘制 32767+32767 根纤维的截面"},
        {"OpenExplorerOnHugeSection", "打开 32767+32767 根纤维截面的详图"},
    };
    for (const auto& [name, label] : sizes) {
      if (const double* t = find(name)) std::printf("  %s：%.0f ms\n", label, *t * 1e3);
    }
    if (huge) {
      const double hugeMB = static_cast<double>(huge->bytes) / 1e6;
      const double* hr = find("ReadHugeFile");
      const double* hd = find("DetectHugeFile");
      const double* hl = find("ReadDetectListHugeFile");
      const double* hs = find("ScanHugeFileBytes");
      std::printf("  约 1 GB 文件（%.0f MB）：\n", hugeMB);
      if (hr) std::printf("    读取            %8.0f ms  %6.0f MB/s\n", *hr * 1e3, hugeMB / *hr);
      if (hd) std::printf("    判断排列        %8.0f ms\n", *hd * 1e3);
      if (const double* ho = find("OpenDroppedHugeFile"); ho && hs) {
        std::printf(
            "    拖入打开（判断+读取+列出+绘图） %8.0f ms，为扫描字节的 %.1f 倍，目标 ≤ 2：%s\n",
            *ho * 1e3, *ho / *hs, verdict(*ho / *hs <= 2.0));
      }
      if (hl) std::printf("    读取+判断+列出  %8.0f ms  %6.0f MB/s\n", *hl * 1e3, hugeMB / *hl);
      if (hs) std::printf("    扫描字节        %8.0f ms  %6.0f MB/s\n", *hs * 1e3, hugeMB / *hs);
      if (hl && hs) {
        std::printf("    读取+判断+列出 / 扫描字节 = %.1f，目标 ≤ 2：%s\n", *hl / *hs,
                    verdict(*hl / *hs <= 2.0));
      }
    }
  }

 private:
  const double* find(const std::string& name) const {
    const auto it = seconds_.find(name);
    return it == seconds_.end() ? nullptr : &it->second;
  }

  std::map<std::string, double> seconds_;
  bool anyFailed_ = false;
};

bool writeFile(BenchFile& file) {
  file.bytes = static_cast<std::int64_t>(
      fiberview::bench::writeOldFormatFile(file.path, file.sections, file.concrete, file.steel));
  if (file.bytes == 0) std::fprintf(stderr, "无法写入临时文件 %s\n", file.path.c_str());
  return file.bytes != 0;
}

// Both readers must have taken the same numbers from the file, or the race is unfair.
bool sameNumbers(const SectionStore& store, const fiberview::bench::NaiveStore& naive) {
  if (store.sections.size() != naive.sections.size()) return false;
  for (std::size_t i = 0; i < store.sections.size(); ++i) {
    const fiberview::Section& s = store.sections[i];
    const fiberview::bench::NaiveSection& n = naive.sections[i];
    // The old version's properties in file order: H, B, E0.
    const auto* h = std::get_if<double>(&s.properties[0]);
    const auto* b = std::get_if<double>(&s.properties[1]);
    const auto* e0 = std::get_if<double>(&s.properties[2]);
    if (!h || !b || !e0 || *h != n.h || *b != n.b || *e0 != n.e0) return false;
    if (!std::equal(s.concrete.begin(), s.concrete.end(), n.concrete.begin(), n.concrete.end()))
      return false;
    if (!std::equal(s.steel.begin(), s.steel.end(), n.steel.begin(), n.steel.end())) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // --huge is this program's own; the rest go to Google Benchmark.
  bool withHugeFile = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--huge") == 0) {
      withHugeFile = true;
      std::copy(argv + i + 1, argv + argc, argv + i);
      --argc;
      --i;
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QApplication app(argc, argv);
  // The window's font, so the property line is painted as the program paints it.
  fiberview::setUpApplication();

  const fiberview::bench::TemporaryFile largestFile("largest");
  const fiberview::bench::TemporaryFile typicalFile("typical");
  BenchFile largest{largestFile.path(), 0, kLargestSections, kLargestFibers, kLargestFibers};
  BenchFile typical{typicalFile.path(), 0, kTypicalSections, kTypicalConcrete, kTypicalSteel};
  const fiberview::bench::TemporaryFile manyFile("many");
  BenchFile many{manyFile.path(), 0, kManySections, 0, 0};
  if (!writeFile(largest) || !writeFile(typical) || !writeFile(many)) return 1;
  const fiberview::bench::TemporaryFile hugeFile("huge");
  BenchFile huge{hugeFile.path(), 0, kHugeFileSections, kHugeFileConcrete, kHugeFileSteel};
  if (withHugeFile) {
    if (!writeFile(huge)) return 1;
    std::printf("约 1 GB 文件：%d 节，每节 %d 根混凝土纤维、%d 根钢筋，%.1f MB\n", huge.sections,
                huge.concrete, huge.steel, static_cast<double>(huge.bytes) / 1e6);
  }
  std::printf("最大文件：%d 节，每节 %d 根混凝土纤维、%d 根钢筋，%.1f MB\n", largest.sections,
              largest.concrete, largest.steel, static_cast<double>(largest.bytes) / 1e6);
  std::printf("典型文件：%d 节，每节 %d 根混凝土纤维、%d 根钢筋，%.1f KB\n", typical.sections,
              typical.concrete, typical.steel, static_cast<double>(typical.bytes) / 1e3);

  fiberview::ReadResult read = fiberview::readSectionFile(largest.path, largest.options());
  const auto* store = std::get_if<SectionStore>(&read);
  fiberview::bench::NaiveStore naive;
  if (store == nullptr ||
      !fiberview::bench::readNaive(largest.path, largest.concrete, largest.steel, naive)) {
    std::fprintf(stderr, "最大文件读取失败\n");
    return 1;
  }
  if (!sameNumbers(*store, naive)) {
    std::fprintf(stderr, "两个读取器从最大文件读出的数不一致\n");
    return 1;
  }
  naive = {};
  std::fflush(stdout);

  benchmark::RegisterBenchmark("ReadLargestFile", readFile, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("DetectLargestFile", detectLayout, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("CheckLargestFile", checkValues,
                               std::make_shared<const SectionStore>(*store))
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("ReadTypicalFile", readFile, typical)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("NaiveReadLargestFile", readFileNaively, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("ScanLargestFileBytes", scanBytes, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("ScaleAndPaintLargestSection", scaleAndPaint,
                               std::make_shared<const SectionStore>(*store), kLargestSections)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("OpenExplorerOnLargestSection", openExplorer,
                               std::make_shared<const SectionStore>(*store), kLargestSections)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  benchmark::RegisterBenchmark("ReadDetectListLargestFile", readDetectList, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("OpenDroppedLargestFile", openDropped, largest)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("ListManySections", readDetectList, many)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  const auto hugeSection = oneSectionStore(kHugeSectionFibers, kHugeSectionFibers);
  benchmark::RegisterBenchmark("ScaleAndPaintHugeSection", scaleAndPaint, hugeSection, 1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("OpenExplorerOnHugeSection", openExplorer, hugeSection, 1)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  if (withHugeFile) {
    for (const auto& [name, run] :
         {std::pair{"ReadHugeFile", &readFile}, std::pair{"DetectHugeFile", &detectLayout},
          std::pair{"OpenDroppedHugeFile", &openDropped},
          std::pair{"ReadDetectListHugeFile", &readDetectList},
          std::pair{"ScanHugeFileBytes", &scanBytes}}) {
      benchmark::RegisterBenchmark(name, run, huge)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->Iterations(1);
    }
  }
  const SectionStore& last = *store;
  benchmark::RegisterBenchmark(
      "CheckLargestSection", checkOneSection,
      std::make_shared<const fiberview::Section>(*last.section(kLargestSections)))
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("CheckHugeMesh", checkOneSection, hugeMesh())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();

  SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  reporter.printSummary(largest, withHugeFile ? &huge : nullptr);
  benchmark::Shutdown();
  return reporter.anyFailed() ? 1 : 0;
}
