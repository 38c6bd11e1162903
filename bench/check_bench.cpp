// How fast the whole file is checked and reported, on the largest file the readers accept
// (2000 sections of 100 concrete and 100 steel fibers):
//   ReadLargestFile    the read of the file, as the window's Read button reads it, to set the
//                      checks across sections against
//   CheckAcrossLargestFile  the checks across sections alone (ΣAs outliers, identical
//                      twins), which run after every read
//   CheckLargestFile   checkFile: every section's figures and checks, and the checks
//                      across sections, on every core, as fiberview --check runs it
//   ReportLargestFile  the PDF report with a page for each of the 2000 sections, written
//                      through QSaveFile into the temporary folder, with the regions the
//                      check built
// The read and the checks across sections are repeated five times and their medians taken;
// processor time is that of every thread of the program. After the table a summary sets each
// figure against its target. The program ends with 1 when the file cannot be written or
// read or a benchmark's own check fails, so that a script running it fails too.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <variant>

#include "app/application_setup.h"
#include "bench/fiber_files.h"
#include "data/section_file.h"
#include "plot/section_row.h"
#include "widgets/file_export.h"
#include "widgets/report_pdf.h"

namespace {

using fiberview::bench::kLargestFibers;
using fiberview::bench::kLargestSections;

const std::string* gPath = nullptr;
fiberview::ReadOptions gOptions;
fiberview::SectionStore* gStore = nullptr;
bool gFailed = false;

void readLargestFile(benchmark::State& state) {
  for (auto _ : state) {
    fiberview::ReadResult result = fiberview::readSectionFile(*gPath, gOptions);
    if (!std::holds_alternative<fiberview::SectionStore>(result)) {
      state.SkipWithError("读取失败");
      gFailed = true;
      break;
    }
    benchmark::DoNotOptimize(result);
  }
}

void checkLargestFile(benchmark::State& state) {
  fiberview::Feedback feedback;
  for (auto _ : state) {
    const auto rows = fiberview::checkFile(*gStore, feedback);
    if (!rows || rows->size() != static_cast<std::size_t>(kLargestSections)) {
      state.SkipWithError("检查结果的行数不对");
      gFailed = true;
      break;
    }
    benchmark::DoNotOptimize(rows->data());
  }
}

void checkAcrossLargestFile(benchmark::State& state) {
  fiberview::Feedback feedback;
  for (auto _ : state) {
    const auto across = fiberview::checkAcrossSections(*gStore, feedback);
    if (!across) {
      state.SkipWithError("跨截面检查没有完成");
      gFailed = true;
      break;
    }
    benchmark::DoNotOptimize(across->sameAs.data());
  }
}

void reportLargestFile(benchmark::State& state) {
  fiberview::Feedback feedback;
  fiberview::SectionRegions regions;
  const auto rows = *fiberview::checkFile(
      *gStore, feedback, [](const fiberview::SectionRow&) { return true; }, &regions);
  std::vector<int> pages;
  for (int n = 1; n <= kLargestSections; ++n) pages.push_back(n);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("report.pdf"));
  fiberview::ReportFile file;
  file.name = QStringLiteral("largest.txt");
  for (auto _ : state) {
    const QString message = fiberview::writeWholeFile(path, [&](QIODevice& device) {
      return fiberview::writeReportPdf(device, *gStore, file, rows, regions, pages,
                                       [](int) { return true; });
    });
    if (!message.isEmpty() || QFileInfo(path).size() < kLargestSections * 1000) {
      state.SkipWithError("报告没有写成");
      gFailed = true;
      break;
    }
  }
  state.counters["MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}

// The console table, plus the medians (or single runs) kept for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  using ConsoleReporter::ConsoleReporter;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
      const bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
      if (median || single) {
        const double unit = benchmark::GetTimeUnitMultiplier(r.time_unit);
        figures_[r.run_name.function_name] = {r.GetAdjustedRealTime() / unit,
                                              r.GetAdjustedCPUTime() / unit};
      }
    }
  }

  void printSummary() const {
    const auto verdict = [](bool met) { return met ? "达标" : "未达标"; };
    std::printf("\n汇总（墙上时间，有重复时取中位数；处理器时间为各线程之和）：\n");
    const Figure* read = find("ReadLargestFile");
    const Figure* across = find("CheckAcrossLargestFile");
    const Figure* check = find("CheckLargestFile");
    const Figure* report = find("ReportLargestFile");
    if (read) std::printf("  读取 33 MB 文件                %8.1f ms\n", read->wall * 1e3);
    if (across) {
      std::printf("  跨截面检查（每次读取后）       %8.2f ms", across->wall * 1e3);
      if (read) {
        const double share = across->wall / read->wall;
        std::printf("，为读取的 %.0f %%，目标 ≤ 20 %%：%s", share * 100, verdict(share <= 0.2));
      }
      std::printf("\n");
    }
    if (check) {
      std::printf("  检查全部 2000 节（各核）       %8.0f ms（处理器 %.0f ms），目标 ≤ 1 s：%s\n",
                  check->wall * 1e3, check->cpu * 1e3, verdict(check->wall <= 1.0));
    }
    if (report) {
      std::printf("  2000 节的 PDF 报告             %8.2f s（处理器 %.2f s），目标 ≤ 5.3 s：%s\n",
                  report->wall, report->cpu, verdict(report->wall <= 5.3));
    }
  }

 private:
  struct Figure {
    double wall = 0.0;  // seconds
    double cpu = 0.0;
  };
  const Figure* find(const std::string& name) const {
    const auto it = figures_.find(name);
    return it == figures_.end() ? nullptr : &it->second;
  }

  std::map<std::string, Figure> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  fiberview::setUpApplication();
  benchmark::Initialize(&argc, argv);

  fiberview::bench::TemporaryFile largest("fiberview-check-largest");
  if (fiberview::bench::writeOldFormatFile(largest.path(), kLargestSections, kLargestFibers,
                                           kLargestFibers) == 0) {
    std::fprintf(stderr, "无法写入基准文件 %s\n", largest.path().c_str());
    return 1;
  }
  gPath = &largest.path();
  gOptions.version = fiberview::FileVersion::Old;
  gOptions.concreteCount = kLargestFibers;
  gOptions.steelCount = kLargestFibers;
  fiberview::ReadResult result = fiberview::readSectionFile(largest.path(), gOptions);
  auto* store = std::get_if<fiberview::SectionStore>(&result);
  if (store == nullptr) {
    std::fprintf(stderr, "无法读取基准文件\n");
    return 1;
  }
  gStore = store;

  benchmark::RegisterBenchmark("ReadLargestFile", readLargestFile)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime()
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("CheckAcrossLargestFile", checkAcrossLargestFile)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime()
      ->Repetitions(5)
      ->DisplayAggregatesOnly();
  benchmark::RegisterBenchmark("CheckLargestFile", checkLargestFile)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime();
  benchmark::RegisterBenchmark("ReportLargestFile", reportLargestFile)
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime()
      ->UseRealTime()
      ->Iterations(1);
  SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                 : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::fflush(stdout);
  reporter.printSummary();
  benchmark::Shutdown();
  return gFailed ? 1 : 0;
}
