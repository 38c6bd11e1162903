#include "app/check_command.h"

#include <unistd.h>

#include <QDir>
#include <QIODevice>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/check_json.h"
#include "app/check_read.h"
#include "app/stop_on_signal.h"
#include "plot/section_row.h"
#include "widgets/file_export.h"
#include "widgets/report_pdf.h"
#include "widgets/section_table_model.h"

namespace fiberview {

namespace {

// Standard error for people: messages, and on a terminal a progress line for a step that
// takes more than half a second, which a message first clears.
class ErrorOutput {
 public:
  ErrorOutput(const Feedback& work, bool showProgress) : work_(work) {
    if (showProgress) ticker_ = std::thread([this] { tick(); });
  }
  ~ErrorOutput() {
    {
      const std::lock_guard lock(lock_);
      ending_ = true;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    clearLine();
  }
  ErrorOutput(const ErrorOutput&) = delete;
  ErrorOutput& operator=(const ErrorOutput&) = delete;

  // A step begins; its progress shows once it has taken half a second.
  void step(const QString& what) {
    const std::lock_guard lock(lock_);
    clearLine();
    step_ = what;
    since_ = std::chrono::steady_clock::now();
  }
  void say(const QString& message) {
    const std::lock_guard lock(lock_);
    clearLine();
    std::fputs((message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
  }

 private:
  static constexpr std::chrono::milliseconds kDelay{500};
  static constexpr std::chrono::milliseconds kTick{100};

  void tick() {
    std::unique_lock lock(lock_);
    while (!wake_.wait_for(lock, kTick, [this] { return ending_; })) {
      if (step_.isEmpty() || std::chrono::steady_clock::now() - since_ < kDelay) continue;
      const int permille = work_.permille();
      QString line = step_ + QStringLiteral("…");
      if (permille >= 0) line += QStringLiteral(" %1%").arg(permille / 10);
      if (shown_ && line == shownLine_) continue;
      std::fputs((QStringLiteral("\r\x1b[K") + line).toLocal8Bit().constData(), stderr);
      std::fflush(stderr);
      shown_ = true;
      shownLine_ = line;
    }
  }
  // Called with the lock held.
  void clearLine() {
    if (shown_) std::fputs("\r\x1b[K", stderr);
    shown_ = false;
  }

  const Feedback& work_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::thread ticker_;
  QString step_;
  QString shownLine_;
  std::chrono::steady_clock::time_point since_;
  bool shown_ = false;
  bool ending_ = false;
};

QString shownPath(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// The status line of the file and a line for each section with findings.
QString findingsText(const QString& path, const std::vector<SectionRow>& rows) {
  QString text = shownPath(path) + QStringLiteral("：") + tableStatusText(rows) + QLatin1Char('\n');
  for (const SectionRow& row : rows) {
    if (!row.hasFindings()) continue;
    text += QStringLiteral("  第 %1 节").arg(row.number);
    if (!row.title.empty()) text += QLatin1Char(' ') + QString::fromStdString(row.title);
    text +=
        QStringLiteral("：") + findingSentences(row).join(QStringLiteral("；")) + QLatin1Char('\n');
  }
  return text;
}

// The table as the window's 导出表格 writes it: every column the table shows (the title only
// for a file with titles), in section order, all sections or those with findings.
QByteArray tableCsv(const std::vector<SectionRow>& rows, const SectionStore& store,
                    bool onlyFindings) {
  SectionTableModel model;
  model.setRows(rows, store.version);
  SectionFilterModel shown;
  shown.setSourceModel(&model);
  shown.setFindingsOnly(onlyFindings);
  QList<int> columns;
  for (int c = 0; c < SectionTableModel::kColumns; ++c) {
    if (c != SectionTableModel::kTitle || store.titled) columns << c;
  }
  return csvText(shown, SectionTableModel::kExportRole, columns);
}

// Writes `bytes` to `path` whole, unless the work was stopped.
QString writeBytes(const QString& path, const QByteArray& bytes, const Feedback& work) {
  return writeWholeFile(path, [&](QIODevice& device) {
    if (work.isCancelled()) return WriteStep::Cancelled;
    return device.write(bytes) == bytes.size() ? WriteStep::Done : WriteStep::Failed;
  });
}

}  // namespace

int runCheck(const CheckRequest& request) {
  Feedback work;
  const StopOnSignal stop(work);
  ErrorOutput errors(work, !request.quiet && isatty(STDERR_FILENO) != 0);
  const bool jsonToStandardOutput = request.json == QLatin1String("-");
  int status = kNoFindings;
  std::vector<QByteArray> entries;
  // A write that failed says why; one that was stopped says nothing, the stop speaks for it.
  const auto written = [&](const QString& failure) {
    if (failure.isEmpty() || work.isCancelled()) return;
    errors.say(failure);
    status = std::max<int>(status, kUnwritable);
  };

  for (const QString& path : request.files) {
    errors.step(QStringLiteral("正在读取“%1”").arg(shownPath(path)));
    work.setProgress(0, 0);
    const CheckRead read = readForCheck(path, request.settings, work);
    if (work.isCancelled()) break;
    if (read.outcome != CheckRead::Outcome::Read) {
      const int fileStatus =
          read.outcome == CheckRead::Outcome::Unreadable ? kUnreadable : kSettingsUntold;
      errors.say(read.message);
      status = std::max(status, fileStatus);
      entries.push_back(unreadFileJson(path, fileStatus, read.message));
      continue;
    }

    errors.step(QStringLiteral("正在检查“%1”的各节").arg(shownPath(path)));
    work.setProgress(0, 0);
    const SectionStore& store = *read.store;
    SectionRegions regions;
    // The report draws the concrete region of each section it has a page for.
    const auto pageOf = [&](const SectionRow& row) {
      return !request.onlyFindings || row.hasFindings();
    };
    const std::optional<std::vector<SectionRow>> rows =
        checkFile(store, work, pageOf, request.pdf.isEmpty() ? nullptr : &regions);
    if (!rows) break;
    const bool findings = std::any_of(rows->begin(), rows->end(),
                                      [](const SectionRow& r) { return r.hasFindings(); });
    status = std::max<int>(status, findings ? kFindings : kNoFindings);
    if (!jsonToStandardOutput) {
      std::fputs(findingsText(path, *rows).toLocal8Bit().constData(), stdout);
      std::fflush(stdout);
    }
    if (!request.csv.isEmpty()) {
      written(writeBytes(request.csv, tableCsv(*rows, store, request.onlyFindings), work));
    }
    if (!request.pdf.isEmpty() && !work.isCancelled()) {
      errors.step(QStringLiteral("正在写入报告“%1”").arg(shownPath(request.pdf)));
      std::vector<int> pages;
      for (const SectionRow& row : *rows) {
        if (pageOf(row)) pages.push_back(row.number);
      }
      const auto total = static_cast<std::uint64_t>(pages.size());
      work.setProgress(0, total);
      written(writeWholeFile(request.pdf, [&](QIODevice& device) {
        return writeReportPdf(device, store, reportFile(path, read.used), *rows, regions, pages,
                              [&](int done) {
                                work.setProgress(static_cast<std::uint64_t>(done), total);
                                return !work.isCancelled();
                              });
      }));
    }
    if (!request.json.isEmpty()) {
      entries.push_back(checkedFileJson(path, read.used, store, *rows, request.onlyFindings));
    }
    if (work.isCancelled()) break;
  }

  if (work.isCancelled()) {
    errors.say(QStringLiteral("已中止，没有写入未写完的文件。"));
    return stop.exitStatus();
  }
  if (!request.json.isEmpty()) {
    const QByteArray json = checkJson(entries, status, request.onlyFindings);
    if (jsonToStandardOutput) {
      std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
      if (std::fflush(stdout) != 0) {
        errors.say(QStringLiteral("无法写出标准输出。"));
        status = std::max<int>(status, kUnwritable);
      }
    } else {
      written(writeBytes(request.json, json, work));
    }
  }
  return status;
}

}  // namespace fiberview
