// How fast two revisions of the largest file the readers accept (2000 sections of 100
// concrete and 100 steel fibers, 33 MB each) are compared once both are read:
//   CompareRevision       titled files, the new one with 14 sections changed (7 with a bar
//                         moved, 7 with a bar resized) and 2 inserted: matched by title,
//                         concrete regions built for the 16 that differ
//   CompareIdentical      the file against a second read of itself
//   CompareAllShifted     the revision matched by number, so that every section after the
//                         first insertion differs: the cost when nearly everything changed
// The program ends with 1 when the file cannot be written or read or a comparison does not
// find what was changed, so that a script running it fails too.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <variant>

#include "bench/fiber_files.h"
#include "data/section_file.h"
#include "plot/section_compare.h"

namespace {

using fiberview::bench::kLargestFibers;
using fiberview::bench::kLargestSections;

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

bool read(const std::string& path, fiberview::SectionStore& into) {
  fiberview::ReadOptions options;
  options.concreteCount = kLargestFibers;
  options.steelCount = kLargestFibers;
  fiberview::ReadResult result = fiberview::readSectionFile(path, options);
  auto* store = std::get_if<fiberview::SectionStore>(&result);
  if (store == nullptr) return false;
  into = std::move(*store);
  into.titled = true;
  int k = 0;
  for (fiberview::Section& s : into.sections) s.title = "KZ" + std::to_string(++k);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  fiberview::bench::TemporaryFile largest("fiberview-compare-largest");
  if (fiberview::bench::writeOldFormatFile(largest.path(), kLargestSections, kLargestFibers,
                                           kLargestFibers) == 0) {
    std::fprintf(stderr, "无法写入基准文件 %s\n", largest.path().c_str());
    return 1;
  }
  if (!read(largest.path(), gBefore) || !read(largest.path(), gSame) ||
      !read(largest.path(), gAfter)) {
    std::fprintf(stderr, "无法读取基准文件\n");
    return 1;
  }
  for (std::size_t k = 0; k < 14; ++k) {
    auto& bar = gAfter.sections[100 + 130 * k].steel[k];
    if (k % 2 == 0) {
      bar[0] += 25;
    } else {
      bar[2] *= 0.77;
    }
  }
  for (std::size_t at : {std::size_t{1500}, std::size_t{500}}) {
    fiberview::Section added = gAfter.sections[at];
    added.title += "A";
    gAfter.sections.insert(gAfter.sections.begin() + static_cast<std::ptrdiff_t>(at), added);
  }

  benchmark::RegisterBenchmark("CompareRevision", compare, gAfter, fiberview::CompareOptions{},
                               std::array<int, 4>{2, 0, 14, 1986})
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
  return gFailed ? 1 : 0;
}
