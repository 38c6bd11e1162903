// Writes a fiber data file for timing the built program from a script (tools/bench.sh):
//   write_fiber_file PATH SECTIONS CONCRETE STEEL
// an old-version file without title lines, as writeOldFormatFile writes it. Prints the
// file's size and the memory its store takes, in bytes, on one line; ends with 1 when the
// file cannot be written.

#include <cstdio>
#include <cstdlib>

#include "bench/fiber_files.h"
#include "data/section_file.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "用法：write_fiber_file 文件 节数 混凝土纤维数 钢筋纤维数\n");
    return 1;
  }
  const int sections = std::atoi(argv[2]);
  const int concrete = std::atoi(argv[3]);
  const int steel = std::atoi(argv[4]);
  const auto bytes = fiberview::bench::writeOldFormatFile(argv[1], sections, concrete, steel);
  if (bytes == 0) {
    std::fprintf(stderr, "无法写入 %s\n", argv[1]);
    return 1;
  }
  std::printf("%ju %ju\n", static_cast<std::uintmax_t>(bytes),
              static_cast<std::uintmax_t>(fiberview::storeBytes(sections, concrete, steel)));
  return 0;
}
