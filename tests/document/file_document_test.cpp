// The document of the open file without any window: reading, cancelling, replacing the
// file, and outcomes of work for an earlier file.
#include "document/file_document.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>

#include "tests/plot/planted_faults.h"

using namespace fiberview;

namespace {

std::shared_ptr<const SectionStore> plantedStore() {
  return std::make_shared<const SectionStore>(testing::plantedStore());
}

ReadOptions plantedOptions() {
  ReadOptions o;
  o.version = FileVersion::Old;
  o.hasTitleLine = false;
  o.concreteCount = 36;
  o.steelCount = 8;
  return o;
}

bool idle(const FileDocument& d) {
  for (const auto kind : {FileDocument::Work::Reading, FileDocument::Work::CheckingAcross,
                          FileDocument::Work::CheckingAll, FileDocument::Work::Reporting}) {
    if (d.isWorking(kind)) return false;
  }
  return true;
}

}  // namespace

class FileDocumentTest : public QObject {
  Q_OBJECT

 private slots:
  void readDeliversTheOutcomeAndTheFileIsComparedAfterwards() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("planted.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(testing::plantedFileText()));
    file.close();

    FileDocument document;
    std::optional<ReadOutcome> outcome;
    document.read(path, plantedOptions(), std::nullopt,
                  [&](ReadOutcome read) { outcome = std::move(read); });
    QVERIFY(document.isWorking(FileDocument::Work::Reading));
    QTRY_VERIFY(outcome.has_value());
    QVERIFY(!document.isWorking(FileDocument::Work::Reading));
    auto* store = std::get_if<SectionStore>(&outcome->result);
    QVERIFY(store != nullptr);
    QVERIFY(!outcome->values);

    QSignalSpy verdicts(&document, &FileDocument::verdictsChanged);
    document.setFile(path, plantedOptions(), std::make_shared<const SectionStore>(*store));
    QCOMPARE(document.sectionCount(), testing::kPlantedSections);
    QCOMPARE(document.currentSection(), 0);
    // The section's own checks are there at once, the checks across sections once done.
    QVERIFY(document.verdict(testing::kWrongB).hasFindings());
    QVERIFY(!document.comparedAcross());
    QVERIFY(verdicts.wait(10000));
    QVERIFY(document.comparedAcross());
    QVERIFY(!document.checkedAll());
    document.checkAll();
    QTRY_VERIFY_WITH_TIMEOUT(document.checkedAll(), 60000);
    int flagged = 0;
    for (const SectionRow& row : document.verdicts()) flagged += row.hasFindings() ? 1 : 0;
    QCOMPARE(flagged, 3);
  }

  // Cancelled work ends at once for the windows, and nothing of it arrives later.
  void cancelledWorkDeliversNothing() {
    FileDocument document;
    document.setFile(QStringLiteral("a.txt"), plantedOptions(), plantedStore());
    QTRY_VERIFY(idle(document));
    std::atomic<bool> release = false;
    bool delivered = false;
    document.run<int>(
        FileDocument::Work::Reporting,
        [&](Feedback&) {
          while (!release) QThread::msleep(1);
          return 1;
        },
        [&](int) { delivered = true; });
    QSignalSpy work(&document, &FileDocument::workChanged);
    document.cancel(FileDocument::Work::Reporting);
    QCOMPARE(work.count(), 1);
    QVERIFY(!document.isWorking(FileDocument::Work::Reporting));
    release = true;
    QTest::qWait(50);
    QVERIFY(!delivered);

    // A cancelled check of every section leaves the file unchecked; asked again, it checks.
    document.checkAll();
    document.cancel(FileDocument::Work::CheckingAll);
    QTest::qWait(50);
    QVERIFY(!document.checkedAll());
    document.checkAll();
    QTRY_VERIFY_WITH_TIMEOUT(document.checkedAll(), 60000);
  }

  // Work started on one file never reaches the next: a report under way when another file
  // is opened stops, and its outcome is dropped; the new file's work goes on undisturbed.
  void workForAnEarlierFileIsDropped() {
    FileDocument document;
    document.setFile(QStringLiteral("a.txt"), plantedOptions(), plantedStore());
    std::atomic<bool> sawCancel = false;
    bool delivered = false;
    document.run<int>(
        FileDocument::Work::Reporting,
        [&](Feedback& feedback) {
          while (!feedback.isCancelled()) QThread::msleep(1);
          sawCancel = true;
          return 1;
        },
        [&](int) { delivered = true; });
    document.setFile(QStringLiteral("b.txt"), plantedOptions(), plantedStore());
    QVERIFY(!document.isWorking(FileDocument::Work::Reporting));
    QTRY_VERIFY(sawCancel);
    document.checkAll();
    QTRY_VERIFY_WITH_TIMEOUT(document.checkedAll(), 60000);
    QVERIFY(!delivered);
    QCOMPARE(document.path(), QStringLiteral("b.txt"));
  }

  void cancelledReadLeavesTheOpenFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Big enough that the read is still under way when it is cancelled.
    const QByteArray text = QByteArray::fromStdString(testing::plantedFileText());
    for (int i = 0; i < 20; ++i) file.write(text);
    file.close();

    FileDocument document;
    document.setFile(QStringLiteral("a.txt"), plantedOptions(), plantedStore());
    const auto before = document.store();
    bool delivered = false;
    document.detect(path, [&](DetectedLayout) { delivered = true; });
    document.cancel(FileDocument::Work::Reading);
    QTest::qWait(200);
    QVERIFY(!delivered);
    QCOMPARE(document.store(), before);
    QCOMPARE(document.path(), QStringLiteral("a.txt"));
  }
};

QTEST_GUILESS_MAIN(FileDocumentTest)
#include "file_document_test.moc"
