// Peak memory of the program holding the largest file: the real window, offscreen, reads
// a generated file of 2000 sections of 100 concrete and 100 steel fibers through its Read
// button and draws the first section, then the program ends. Run it under /usr/bin/time -v
// for the whole process's maximum resident set size; it also prints its own high-water
// mark before and after reading.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "bench/fiber_files.h"

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

  // Written before Qt starts, line by line, so that writing leaves no mark on the peak.
  const fiberview::bench::TemporaryFile file("peak");
  const auto bytes = fiberview::bench::writeOldFormatFile(file.path(), kLargestSections,
                                                          kLargestFibers, kLargestFibers);
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
  concrete->setText(QString::number(kLargestFibers));
  steel->setText(QString::number(kLargestFibers));
  read->click();
  QApplication::processEvents();
  draw->click();
  QApplication::processEvents();

  const auto& sections = window.store().sections;
  const bool whole = reports.isEmpty() && sections.size() == kLargestSections &&
                     list->count() == kLargestSections &&
                     sections.back().concrete.size() == kLargestFibers &&
                     sections.back().steel.size() == kLargestFibers;
  if (!whole) {
    std::fprintf(stderr, "最大文件没有完整读入：%s\n",
                 reports.isEmpty() ? "截面或纤维数不对" : reports.join('\n').toUtf8().constData());
    return 1;
  }
  std::printf("读入 %.1f MB：%d 节，每节 %d + %d 根纤维，并画出第 1 节\n",
              static_cast<double>(bytes) / 1e6, kLargestSections, kLargestFibers, kLargestFibers);
  std::printf("常驻内存峰值（VmHWM）：读取前 %.1f MB，读取并绘图后 %.1f MB\n",
              static_cast<double>(before) * 1024.0 / 1e6,
              static_cast<double>(peakResidentKiB()) * 1024.0 / 1e6);
  return 0;
}
