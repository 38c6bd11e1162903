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

// The read of the new file. It owns the new file's document until the window takes it, and
// deletes itself once the window opens or the read is given up; the document's outcomes
// reach it only while it lives.
class Opening : public QObject {
 public:
  Opening(FileDocument& before, const QString& path, UserDialogs& dialogs, QWidget* parent,
          std::function<void(CompareWindow*)> opened)
      : QObject(parent),
        before_(before),
        path_(path),
        dialogs_(dialogs),
        parent_(parent),
        opened_(std::move(opened)),
        after_(new FileDocument(this)) {}
  ~Opening() override { delete progress_; }

  void start() {
    showProgress();
    after_->detect(path_, [this](DetectedLayout found) {
      delete progress_;
      // Where the layout cannot tell a setting, the open file's stands.
      ReadOptions used = before_.readWith();
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
    if (plan.takeStore) open();
    deleteLater();
  }

  void open() {
    auto* window = new CompareWindow(before_, after_, dialogs_, parent_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (parent_ != nullptr) openBeside(*window, *parent_);
    window->show();
    window->raise();
    window->activateWindow();
    if (opened_) opened_(window);
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

  FileDocument& before_;
  QString path_;
  UserDialogs& dialogs_;
  QWidget* parent_;
  std::function<void(CompareWindow*)> opened_;
  FileDocument* after_;
  QPointer<QProgressDialog> progress_;
};

}  // namespace

void openComparison(FileDocument& before, const QString& path, UserDialogs& dialogs,
                    QWidget* parent, std::function<void(CompareWindow*)> opened) {
  (new Opening(before, path, dialogs, parent, std::move(opened)))->start();
}

}  // namespace fiberview
