// Peak memory of the program holding a big file: the real window, offscreen, reads a
// generated file (by default 2000 sections of 100 concrete and 100 steel fibers; the
// arguments SECTIONS CONCRETE STEEL choose another) through its Read button and draws the
// first section, then the program ends. Run it under /usr/bin/time -v for the whole
// process's maximum resident set size; it also prints its own high-water mark before and
// after reading, the store's size, and how far the peak grew beyond the store: the read
// streams the file, so that growth stays a fixed buffer whatever the file's size.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "bench/fiber_files.h"
#include "data/section_file.h"

namespace {

using fiberview::bench::kLargestFibers;
using fiberview::bench::kLargestSections;

// The process's peak resident set so far, in KiB, from /proc (VmHWM); -1 when unknown.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

template <typename T>
T* control(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(QString::fromLatin1(name));
  if (widget == nullptr) std::fprintf(stderr, "窗口里找不到控件 %s\n", name);
  return widget;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  int sectionCount = kLargestSections;
  int concreteCount = kLargestFibers;
  int steelCount = kLargestFibers;
  if (argc == 4) {
    sectionCount = std::atoi(argv[1]);
    concreteCount = std::atoi(argv[2]);
    steelCount = std::atoi(argv[3]);
  }
  // Written before Qt starts, line by line, so that writing leaves no mark on the peak.
  const fiberview::bench::TemporaryFile file("peak");
  const auto bytes =
      fiberview::bench::writeOldFormatFile(file.path(), sectionCount, concreteCount, steelCount);
  if (bytes == 0) {
    std::fprintf(stderr, "无法写入临时文件 %s\n", file.path().c_str());
    return 1;
  }

  QApplication app(argc, argv);
  fiberview::setUpApplication();

  auto dialogs = std::make_unique<fiberview::ScriptedDialogs>();
  dialogs->nextFiles << QString::fromStdString(file.path());
  const QStringList& reports = dialogs->reports;
  fiberview::Form1 window(std::move(dialogs));
  window.show();
  QApplication::processEvents();

  auto* concrete = control<QLineEdit>(window, "TextConcrete");
  auto* steel = control<QLineEdit>(window, "TextSteel");
  auto* read = control<QPushButton>(window, "Command5");
  auto* draw = control<QPushButton>(window, "Command6");
  auto* list = control<QComboBox>(window, "Combo1");
  if (!concrete || !steel || !read || !draw || !list) return 1;
  const long before = peakResidentKiB();

  // The version and title-line options keep their initial values: old version, no titles.
  concrete->setText(QString::number(concreteCount));
  steel->setText(QString::number(steelCount));
  read->click();
  // The read runs as a task of the window's document; its store is taken when it is back.
  while (window.document().isWorking(fiberview::FileDocument::Work::Reading)) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  draw->click();
  QApplication::processEvents();

  const auto& sections = window.store().sections;
  const bool whole = reports.isEmpty() && std::ssize(sections) == sectionCount &&
                     list->count() == sectionCount &&
                     std::ssize(sections.back().concrete) == concreteCount &&
                     std::ssize(sections.back().steel) == steelCount;
  if (!whole) {
    std::fprintf(stderr, "最大文件没有完整读入：%s\n",
                 reports.isEmpty() ? "截面或纤维数不对" : reports.join('\n').toUtf8().constData());
    return 1;
  }
  const double store =
      static_cast<double>(fiberview::storeBytes(sectionCount, concreteCount, steelCount)) / 1e6;
  const double beforeMB = static_cast<double>(before) * 1024.0 / 1e6;
  const double peakMB = static_cast<double>(peakResidentKiB()) * 1024.0 / 1e6;
  std::printf("读入 %.1f MB：%d 节，每节 %d + %d 根纤维，并画出第 1 节\n",
              static_cast<double>(bytes) / 1e6, sectionCount, concreteCount, steelCount);
  std::printf("常驻内存峰值（VmHWM）：读取前 %.1f MB，读取并绘图后 %.1f MB\n", beforeMB, peakMB);
  const double ratio = (peakMB - beforeMB) / store;
  std::printf(
      "截面数据 %.1f MB；读取使峰值增加 %.1f MB，是截面数据的 %.3f 倍（多出 %.1f MB），"
      "目标 ≤ 1.2 倍：%s\n",
      store, peakMB - beforeMB, ratio, peakMB - beforeMB - store, ratio <= 1.2 ? "达标" : "未达标");
  return 0;
}
