#include "document/file_document.h"

#include <QFile>
#include <QThreadPool>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace fiberview {

namespace {

// A read frees what it held besides the store (the buffers read ahead, the fields detection
// looked at, a failed read's half-read store) in its worker, whose allocator would keep the
// pages for that thread: a second file read beside the first, as a comparison reads one,
// would then add its own. The allocator gives them back to the system instead.
void giveBackFreedMemory() {
#ifdef __GLIBC__
  // In a task of its own: trimming takes some milliseconds after a large read, which the
  // work's outcome need not wait for.
  QThreadPool::globalInstance()->start([] { malloc_trim(0); });
#endif
}

// What a cancelled worker made is dropped on its own thread, and its pages go back, so that
// a big file the user gave up on leaves the memory as it found it.
template <typename Result>
Result dropIfCancelled(Result result, const Feedback& feedback) {
  if (!feedback.isCancelled()) return result;
  result = Result{};
  giveBackFreedMemory();
  return result;
}

}  // namespace

bool readNeedsLayout(const ReadResult& result, const std::optional<ValueFinding>& values) {
  if (const auto* error = std::get_if<ReadError>(&result)) {
    return error->kind != ReadFailure::File && error->kind != ReadFailure::TooManyFibers;
  }
  return values.has_value() || std::get<SectionStore>(result).leftoverAt.has_value();
}

FileDocument::FileDocument(QObject* parent)
    : QObject(parent), store_(std::make_shared<const SectionStore>()) {}

FileDocument::~FileDocument() {
  // The views may be half destroyed already (the document is their window's child): the
  // work ends without telling them.
  blockSignals(true);
  cancelAll();
  cancel(Work::Reading);
}

void FileDocument::setFile(const QString& path, const ReadOptions& readWith,
                           std::shared_ptr<const SectionStore> store) {
  cancelAll();
  std::shared_ptr<const SectionStore> old = std::exchange(store_, std::move(store));
  path_ = path;
  readWith_ = readWith;
  current_ = 0;
  rows_.clear();
  rows_.resize(store_->sections.size());
  regions_.clear();
  regions_.resize(store_->sections.size());
  across_.reset();
  checkedAll_ = false;
  QThreadPool::globalInstance()->start([old = std::move(old)]() mutable { old.reset(); });
  emit fileChanged();
  emit currentSectionChanged(0);
  startCheckAcross();
}

void FileDocument::setCurrentSection(int number) {
  if (number < 0 || number > sectionCount()) number = 0;
  current_ = number;
  // Told even when it stays: drawing a section again redraws every view of it.
  emit currentSectionChanged(number);
}

const ConcreteRegion& FileDocument::region(int number) {
  auto& region = regions_[static_cast<std::size_t>(number - 1)];
  if (!region) region = std::make_shared<const ConcreteRegion>(*store_->section(number));
  return *region;
}

std::vector<SectionRow> FileDocument::verdicts() const {
  std::vector<SectionRow> out;
  out.reserve(rows_.size());
  for (const auto& row : rows_) {
    if (row) out.push_back(*row);
  }
  return out;
}

const SectionRow& FileDocument::verdict(int number) {
  auto& row = rows_[static_cast<std::size_t>(number - 1)];
  if (!row) {
    row = std::make_unique<SectionRow>(sectionRow(*store_, number, region(number)));
    if (across_) applyAcross(*row, *across_);
  }
  return *row;
}

void FileDocument::startCheckAcross() {
  run<std::optional<AcrossSections>>(
      Work::CheckingAcross,
      [store = store_](Feedback& feedback) { return checkAcrossSections(*store, feedback); },
      [this](std::optional<AcrossSections> across) {
        if (!across) return;
        across_ = std::move(across);
        for (auto& row : rows_) {
          if (row) applyAcross(*row, *across_);
        }
        emit verdictsChanged();
      });
}

void FileDocument::checkAll() {
  if (checkedAll_ || isWorking(Work::CheckingAll)) return;
  // Sections already shown keep their verdicts; the workers fill in the others on every core,
  // with the regions they build for them, which the views and the report then reuse.
  std::vector<bool> wanted(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) wanted[i] = rows_[i] == nullptr;
  run<std::shared_ptr<CheckedSections>>(
      Work::CheckingAll,
      [store = store_, wanted = std::move(wanted),
       across = across_](Feedback& feedback) -> std::shared_ptr<CheckedSections> {
        auto checked =
            checkSections(*store, feedback, wanted, across, [](const SectionRow&) { return true; });
        if (!checked) return nullptr;
        return std::make_shared<CheckedSections>(std::move(*checked));
      },
      [this](std::shared_ptr<CheckedSections> checked) {
        if (!checked) return;
        if (!across_) across_ = std::move(checked->across);
        for (std::size_t i = 0; i < rows_.size(); ++i) {
          if (!rows_[i]) {
            rows_[i] = std::make_unique<SectionRow>(std::move(*checked->rows[i]));
            if (!regions_[i]) regions_[i] = std::move(checked->regions[i]);
          } else {
            applyAcross(*rows_[i], *across_);
          }
        }
        checkedAll_ = true;
        emit verdictsChanged();
      });
}

void FileDocument::read(const QString& path, const ReadOptions& used,
                        std::optional<DetectedLayout> found,
                        std::function<void(ReadOutcome)> done) {
  const std::string file = QFile::encodeName(path).toStdString();
  run<ReadOutcome>(
      Work::Reading,
      [file, used, found = std::move(found)](Feedback& feedback) mutable {
        ReadControl control;
        control.feedback = &feedback;
        // Detection's confirming read stands for the read where it read with these settings.
        std::shared_ptr<SectionStore> confirmed;
        if (found && found->storeReadWith == used) confirmed = std::move(found->store);
        if (found) found->store.reset();
        ReadOutcome read{
            confirmed ? ReadResult(std::move(*confirmed)) : readSectionFile(file, used, control),
            std::nullopt, std::move(found)};
        // Detection keeps only a store whose values passed the same checks.
        const auto* store = std::get_if<SectionStore>(&read.result);
        if (store != nullptr && !confirmed) read.values = checkValues(*store);
        if (!read.found && !feedback.isCancelled() && readNeedsLayout(read.result, read.values)) {
          read.found = detectLayoutOfFile(file, control);
        }
        giveBackFreedMemory();
        return dropIfCancelled(std::move(read), feedback);
      },
      std::move(done));
}

void FileDocument::detect(const QString& path, std::function<void(DetectedLayout)> done) {
  const std::string file = QFile::encodeName(path).toStdString();
  run<DetectedLayout>(
      Work::Reading,
      [file](Feedback& feedback) {
        ReadControl control;
        control.feedback = &feedback;
        DetectedLayout found = detectLayoutOfFile(file, control);
        giveBackFreedMemory();
        return dropIfCancelled(std::move(found), feedback);
      },
      std::move(done));
}

FileDocument::Task FileDocument::startTask(Work kind) {
  cancel(kind);
  Task task{std::make_shared<Feedback>(), nextTask_++};
  tasks_[kind] = task;
  emit workChanged(kind);
  return task;
}

bool FileDocument::deliver(Work kind, quint64 id) {
  const auto it = tasks_.find(kind);
  if (it == tasks_.end() || it->second.id != id) return false;
  const bool wanted = !it->second.feedback->isCancelled();
  tasks_.erase(it);
  emit workChanged(kind);
  return wanted;
}

const Feedback* FileDocument::feedback(Work kind) const {
  const auto it = tasks_.find(kind);
  return it == tasks_.end() ? nullptr : it->second.feedback.get();
}

void FileDocument::cancel(Work kind) {
  const auto it = tasks_.find(kind);
  if (it == tasks_.end()) return;
  it->second.feedback->cancel();
  tasks_.erase(it);
  emit workChanged(kind);
}

void FileDocument::cancelAll() {
  for (const Work kind :
       {Work::Reading, Work::CheckingAcross, Work::CheckingAll, Work::Reporting, Work::Comparing}) {
    // A read is for the next file, not the open one; it stays.
    if (kind != Work::Reading) cancel(kind);
  }
}

}  // namespace fiberview
