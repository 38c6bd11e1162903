// How fast the whole file is checked and reported, on the largest file the readers accept
// (2000 sections of 100 concrete and 100 steel fibers):
//   CheckLargestFile   checkFile: every section's figures and checks, and the checks
//                      across sections, on every core, as fiberview --check runs it
//   CheckAcrossLargestFile  the checks across sections alone (ΣAs outliers, identical
//                      twins), which run after every read
//   ReportLargestFile  the PDF report with a page for each of the 2000 sections, written
//                      through QSaveFile into the temporary folder, with the regions the
//                      check built
// The program ends with 1 when the file cannot be written or read or a benchmark's own
// check fails, so that a script running it fails too.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
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

fiberview::SectionStore* gStore = nullptr;
bool gFailed = false;

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
  fiberview::ReadOptions options;
  options.version = fiberview::FileVersion::Old;
  options.concreteCount = kLargestFibers;
  options.steelCount = kLargestFibers;
  fiberview::ReadResult result = fiberview::readSectionFile(largest.path(), options);
  auto* store = std::get_if<fiberview::SectionStore>(&result);
  if (store == nullptr) {
    std::fprintf(stderr, "无法读取基准文件\n");
    return 1;
  }
  gStore = store;

  benchmark::RegisterBenchmark("CheckLargestFile", checkLargestFile)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("CheckAcrossLargestFile", checkAcrossLargestFile)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReportLargestFile", reportLargestFile)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return gFailed ? 1 : 0;
}
