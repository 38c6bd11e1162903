// The document of the open file: the one object every window views. It owns the file's
// path, the settings it was read with, its store, the section last drawn, each section's
// verdict and the long work under way (a read, the checks, a report). Windows show what it
// holds, ask it to act, and learn of changes through its signals.
//
// Long work runs as tasks in worker threads. Each task is tied to the file that was open
// when it started: replacing the file cancels it, and an outcome that arrives for an
// earlier file, or after a cancel, is dropped in one place (deliver), so that no window
// ever sees work left over from another file.
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QtConcurrent/QtConcurrentRun>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "data/feedback.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "data/section_store.h"
#include "plot/concrete_region.h"
#include "plot/section_row.h"

namespace fiberview {

// What a read on a worker hands back: the result, what checkValues found in its store, and
// the file's layout where the outcome needed it or it was known before.
struct ReadOutcome {
  ReadResult result;
  std::optional<ValueFinding> values;
  std::optional<DetectedLayout> found;
};

// Whether a read calls for the file's layout before it can be planned: it failed inside the
// file, left fields over, or its values break a check. A read that fits needs nothing more.
bool readNeedsLayout(const ReadResult& result, const std::optional<ValueFinding>& values);

class FileDocument : public QObject {
  Q_OBJECT

 public:
  // The kinds of long work; at most one of each runs at a time.
  enum class Work {
    Reading,         // a read or a look at a file's layout, for the file to open next
    CheckingAcross,  // the checks across sections, after every read
    CheckingAll,     // every section's own checks, for the table of every section
    Reporting,       // a report or a table being written
    Comparing,       // a comparison of the file with another
  };

  explicit FileDocument(QObject* parent = nullptr);
  ~FileDocument() override;

  // The open file; an empty path and a store without sections before the first read.
  const QString& path() const { return path_; }
  const ReadOptions& readWith() const { return readWith_; }
  const std::shared_ptr<const SectionStore>& store() const { return store_; }
  int sectionCount() const { return static_cast<int>(store_->sections.size()); }

  // Makes `store`, read from `path` with `readWith`, the open file. All work on the file
  // before stops and its outcomes are dropped; no section is current; the checks across
  // sections start in the background. The store before is freed by a worker, since giving
  // back hundreds of MB would keep the window busy.
  void setFile(const QString& path, const ReadOptions& readWith,
               std::shared_ptr<const SectionStore> store);

  // The section last drawn (1-based); 0 for none. Choosing a list entry does not change it.
  int currentSection() const { return current_; }
  void setCurrentSection(int number);

  // The verdict on section `number` (1-based, which must exist): its own checks, worked out
  // on the first ask and kept, and the checks across sections once they are done.
  const SectionRow& verdict(int number);
  // The section's concrete region, built once per file.
  const ConcreteRegion& region(int number);
  // Whether the checks across sections are done for the open file.
  bool comparedAcross() const { return across_.has_value(); }
  // Whether every section has its whole verdict; verdicts() then holds them all.
  bool checkedAll() const { return checkedAll_; }
  std::vector<SectionRow> verdicts() const;
  // Every section's region, once checkedAll(); shared, so that a report may go on using
  // them on a worker whatever the document does meanwhile.
  const SectionRegions& regions() const { return regions_; }
  // Starts the checks of every section in the background, unless they are done or under way.
  void checkAll();

  // Reads `path` with `used` in the background, as the Read button does; `found` is the
  // file's layout when it was looked at before (its confirming store is taken where it read
  // with `used`). `done` gets the outcome on this thread; nothing arrives after a cancel.
  // The store is not taken: the caller decides with setFile. A read under way is cancelled.
  void read(const QString& path, const ReadOptions& used, std::optional<DetectedLayout> found,
            std::function<void(ReadOutcome)> done);
  // Looks at the layout of `path` in the background, as for a file opened from outside.
  void detect(const QString& path, std::function<void(DetectedLayout)> done);

  // Runs `work` in a worker as a task of kind `kind`, tied to the open file. `done` gets its
  // result on this thread, unless the task was cancelled or the file replaced meanwhile. A
  // task of the same kind under way is cancelled.
  template <typename Result>
  void run(Work kind, std::function<Result(Feedback&)> work, std::function<void(Result)> done);

  bool isWorking(Work kind) const { return tasks_.count(kind) > 0; }
  // The progress of the task of `kind` under way; null when there is none.
  const Feedback* feedback(Work kind) const;
  // Stops the task of `kind`; it ends at once for the windows, and its outcome is dropped.
  void cancel(Work kind);

 signals:
  void fileChanged();
  void currentSectionChanged(int number);
  // A verdict gained the checks across sections, or every section was checked.
  void verdictsChanged();
  // A task of `kind` started or ended.
  void workChanged(FileDocument::Work kind);

 private:
  struct Task {
    std::shared_ptr<Feedback> feedback;
    quint64 id = 0;
  };
  // Starts a task of `kind`; returns the feedback and the id deliver() checks.
  Task startTask(Work kind);
  // Whether the outcome of task `id` of `kind` is still wanted; ends the task either way.
  bool deliver(Work kind, quint64 id);
  void startCheckAcross();
  void cancelAll();

  QString path_;
  ReadOptions readWith_;
  std::shared_ptr<const SectionStore> store_;
  int current_ = 0;
  // Each section's verdict once worked out. Held by pointer: a file of many sections, most
  // never looked at, then costs a pointer a section rather than a whole verdict.
  std::vector<std::unique_ptr<SectionRow>> rows_;
  SectionRegions regions_;
  std::optional<AcrossSections> across_;
  bool checkedAll_ = false;
  std::map<Work, Task> tasks_;
  quint64 nextTask_ = 1;
};

template <typename Result>
void FileDocument::run(Work kind, std::function<Result(Feedback&)> work,
                       std::function<void(Result)> done) {
  const Task task = startTask(kind);
  auto* watcher = new QFutureWatcher<Result>(this);
  connect(watcher, &QFutureWatcherBase::finished, this,
          [this, watcher, kind, id = task.id, done = std::move(done)] {
            watcher->deleteLater();
            if (deliver(kind, id)) done(watcher->future().takeResult());
          });
  watcher->setFuture(QtConcurrent::run(
      [work = std::move(work), feedback = task.feedback] { return work(*feedback); }));
}

}  // namespace fiberview
