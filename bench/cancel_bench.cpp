// How soon a cancel stops layout detection on the largest file the readers accept (2000
// sections of 100 concrete and 100 steel fibers, 33 MB). Detection runs in a thread of its
// own, as the window's worker runs it, and the time is taken from the cancel to detection's
// return:
//   CancelDetectionAfter10ms        the cancel 10 ms in, while detection holds and scores
//                                   the first fields or has just begun its confirming read
//   CancelDetectionInConfirmingRead  the cancel once the progress passes 30 %, which on this
//                                   file only the reader's confirming read reaches: detection
//                                   itself holds the first 5 % of the fields
// After the table, the median and the longest of all the stops, against the target of
// 50 ms. The program ends with 1 when the file cannot be written, or when detection returns
// after the cancel without saying that it was cancelled, so that a script running it fails
// too.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/fiber_files.h"
#include "data/feedback.h"
#include "data/layout_detection.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr double kTargetMs = 50.0;

std::string gPath;
bool gFailed = false;
std::vector<double> gStopsMs;
int gFinishedFirst = 0;

// When the cancel comes.
enum class When { After10ms, InConfirmingRead };

void cancelDetection(benchmark::State& state, When when) {
  for (auto _ : state) {
    fiberview::Feedback feedback;
    fiberview::DetectedLayout found;
    Clock::time_point returned;
    std::thread worker([&] {
      found = fiberview::detectLayoutOfFile(gPath, {.feedback = &feedback});
      returned = Clock::now();
    });
    if (when == When::After10ms) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } else {
      const auto giveUp = Clock::now() + std::chrono::seconds(10);
      while (feedback.permille() < 300 && Clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    }
    const auto cancelled = Clock::now();
    feedback.cancel();
    worker.join();
    const Milliseconds stop = Clock::now() - cancelled;
    // On a busy machine the delay may outlast the whole detection: nothing to time then.
    if (returned < cancelled) {
      ++gFinishedFirst;
      continue;
    }
    if (found.problem != fiberview::LayoutProblem::Cancelled) {
      state.SkipWithError("判断排列在取消之后返回，却没有说明已取消");
      gFailed = true;
      break;
    }
    state.SetIterationTime(stop.count() / 1e3);
    gStopsMs.push_back(stop.count());
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const fiberview::bench::TemporaryFile largest("fiberview-cancel-largest");
  const auto bytes = fiberview::bench::writeOldFormatFile(
      largest.path(), fiberview::bench::kLargestSections, fiberview::bench::kLargestFibers,
      fiberview::bench::kLargestFibers);
  if (bytes == 0) {
    std::fprintf(stderr, "无法写入基准文件 %s\n", largest.path().c_str());
    return 1;
  }
  gPath = largest.path();

  for (const auto& [name, when] :
       {std::pair{"CancelDetectionAfter10ms", When::After10ms},
        std::pair{"CancelDetectionInConfirmingRead", When::InConfirmingRead}}) {
    benchmark::RegisterBenchmark(name, cancelDetection, when)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gFinishedFirst > 0)
    std::printf("\n另有 %d 次判断在取消之前已经结束，未计入\n", gFinishedFirst);
  if (!gStopsMs.empty()) {
    std::sort(gStopsMs.begin(), gStopsMs.end());
    const double longest = gStopsMs.back();
    std::printf(
        "\n取消判断排列：从取消到返回中位 %.1f ms，最长 %.1f ms（%zu 次），目标 ≤ %.0f ms：%s\n",
        gStopsMs[gStopsMs.size() / 2], longest, gStopsMs.size(), kTargetMs,
        longest <= kTargetMs ? "达标" : "未达标");
  }
  return gFailed ? 1 : 0;
}
