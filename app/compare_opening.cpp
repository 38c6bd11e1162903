#include "app/compare_opening.h"

#include <QFileInfo>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include "app/read_messages.h"
#include "app/user_dialogs.h"
#include "widgets/compare_window.h"
#include "widgets/window_placement.h"

namespace fiberview {

namespace {

// The read of a file to compare. It owns the file's document until `taken` has had it, and
// deletes itself then or once the read is given up; the document's outcomes reach it only
// while it lives, and it goes with `parent`.
class Opening : public QObject {
 public:
  Opening(const ReadOptions& fallback, const QString& path, UserDialogs& dialogs, QWidget* parent,
          std::function<void(FileDocument*)> taken)
      : QObject(parent),
        fallback_(fallback),
        path_(path),
        dialogs_(dialogs),
        parent_(parent),
        taken_(std::move(taken)),
        after_(new FileDocument(this)) {}
  ~Opening() override { delete progress_; }

  void start() {
    showProgress();
    after_->detect(path_, [this](DetectedLayout found) {
      delete progress_;
      // Where the layout cannot tell a setting, the file compared with stands.
      ReadOptions used = fallback_;
      if (found.version) used.version = *found.version;
      if (found.hasTitleLine) {
        if (!*found.hasTitleLine) used.version = versionWithoutTitles();
        used.hasTitleLine = *found.hasTitleLine;
      }
      if (found.concreteCount) used.concreteCount = static_cast<std::int16_t>(*found.concreteCount);
      if (found.steelCount) used.steelCount = *found.steelCount;
      const ReadPlan untold = versionChoice(found, path_, used);
      if (!untold.choices.empty()) {
        const int chosen = dialogs_.choose(
            untold.message + QStringLiteral("\n\n") + untold.question, untold.labels);
        if (chosen < 0 || static_cast<std::size_t>(chosen) >= untold.choices.size()) {
          deleteLater();
          return;
        }
        used = untold.choices[static_cast<std::size_t>(chosen)];
      }
      read(used, true, std::move(found));
    });
  }

 private:
  void read(const ReadOptions& used, bool mayOffer, std::optional<DetectedLayout> found) {
    showProgress();
    after_->read(path_, used, std::move(found), [this, used, mayOffer](ReadOutcome read) {
      done(std::move(read), used, mayOffer);
    });
  }

  // As the main window plans a read: take a whole store, tell what the plan says, and where
  // it offers other settings and the user takes them, read again, offering no second time.
  void done(ReadOutcome outcome, const ReadOptions& used, bool mayOffer) {
    delete progress_;
    const ReadPlan plan = planRead(outcome.result, path_, used, outcome.values,
                                   outcome.found ? &*outcome.found : nullptr, mayOffer);
    if (plan.takeStore) {
      after_->setFile(
          path_, used,
          std::make_shared<const SectionStore>(std::move(std::get<SectionStore>(outcome.result))));
    }
    int chosen = -1;
    if (plan.choices.empty()) {
      if (!plan.message.isEmpty()) dialogs_.reportFailure(plan.message);
    } else {
      const QString asked = plan.message + QStringLiteral("\n\n") + plan.question;
      chosen = plan.choices.size() == 1 ? (dialogs_.ask(asked) ? 0 : -1)
                                        : dialogs_.choose(asked, plan.labels);
    }
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < plan.choices.size()) {
      read(plan.choices[static_cast<std::size_t>(chosen)], false, std::move(outcome.found));
      return;
    }
    if (plan.takeStore) taken_(after_);
    deleteLater();
  }

  // Past half a second the read shows its progress and offers 取消, as the main window's does.
  void showProgress() {
    progress_ = new QProgressDialog(
        QStringLiteral("正在读取要比较的文件“%1”……").arg(QFileInfo(path_).fileName()),
        QStringLiteral("取消"), 0, 1000, parent_);
    progress_->setObjectName(QStringLiteral("CompareReadProgress"));
    progress_->setWindowTitle(QStringLiteral("读取文件"));
    progress_->setAccessibleName(QStringLiteral("读取进度"));
    progress_->setMinimumDuration(500);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, this, [this] {
      after_->cancel(FileDocument::Work::Reading);
      deleteLater();
    });
    auto* tick = new QTimer(progress_);
    connect(tick, &QTimer::timeout, progress_, [this] {
      const Feedback* feedback = after_->feedback(FileDocument::Work::Reading);
      if (feedback != nullptr && feedback->permille() > 0)
        progress_->setValue(feedback->permille());
    });
    tick->start(50);
    progress_->setValue(0);
  }

  ReadOptions fallback_;
  QString path_;
  UserDialogs& dialogs_;
  QWidget* parent_;
  std::function<void(FileDocument*)> taken_;
  FileDocument* after_;
  QPointer<QProgressDialog> progress_;
};

// Reads `path` as a file opened from outside and hands its document to `taken`.
void readCompared(const ReadOptions& fallback, const QString& path, UserDialogs& dialogs,
                  QWidget* parent, std::function<void(FileDocument*)> taken) {
  (new Opening(fallback, path, dialogs, parent, std::move(taken)))->start();
}

// 换旧文件… and 换新文件…: the file chosen replaces the one on `side` once it is read; while
// it is read, the window goes on showing the comparison it has.
void chooseAnotherFile(CompareWindow& window, CompareSide side, UserDialogs& dialogs) {
  const FileDocument& replaced = side == CompareSide::Old ? window.before() : window.after();
  const QString path = chooseComparedFile(dialogs, replaced.path(), side);
  if (path.isEmpty()) return;
  readCompared(replaced.readWith(), path, dialogs, &window, [&window, side](FileDocument* read) {
    window.replaceFile(side, read->path(), read->readWith(), read->store());
  });
}

}  // namespace

QString chooseComparedFile(UserDialogs& dialogs, const QString& near, CompareSide side) {
  return dialogs.chooseFile(QFileInfo(near).absolutePath(),
                            QStringLiteral("文本文件 (*.txt);;所有文件 (*)"),
                            side == CompareSide::Old ? QStringLiteral("选择要比较的旧文件")
                                                     : QStringLiteral("选择要比较的新文件"));
}

void openComparison(FileDocument& before, const QString& path, UserDialogs& dialogs,
                    QWidget* parent, std::function<void(CompareWindow*)> opened) {
  readCompared(before.readWith(), path, dialogs, parent,
               [&before, &dialogs, parent, opened = std::move(opened)](FileDocument* after) {
                 auto* window = new CompareWindow(before, after, dialogs, parent);
                 window->setAttribute(Qt::WA_DeleteOnClose);
                 QObject::connect(window, &CompareWindow::fileWanted, window,
                                  [window, &dialogs](CompareSide side) {
                                    chooseAnotherFile(*window, side, dialogs);
                                  });
                 if (parent != nullptr) openBeside(*window, *parent);
                 window->show();
                 window->raise();
                 window->activateWindow();
                 if (opened) opened(window);
               });
}

}  // namespace fiberview
