// The window under test, with stand-ins for its modal dialogs so that tests choose files
// and read reports without any modal window.
#pragma once

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/form1.h"
#include "app/scripted_dialogs.h"
#include "widgets/section_plot_widget.h"

namespace fiberview {

// One of the sample files that come with the program.
inline QString sample(const char* name) {
  return QStringLiteral(FIBERVIEW_SAMPLES "/") + QString::fromLatin1(name);
}

inline QStringList entries(const QComboBox* combo) {
  QStringList out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}

// Base of the window test classes: a fresh window, shown and active, for every test
// function.
class WindowFixture : public QObject {
  Q_OBJECT

 protected slots:
  void init() {
    openWindow();
    form->show();
    QVERIFY(activate());
  }
  void cleanup() { form.reset(); }

 protected:
  std::unique_ptr<Form1> form;
  ScriptedDialogs* dialogs = nullptr;
  QTemporaryDir dir;

  void openWindow() {
    auto fake = std::make_unique<ScriptedDialogs>();
    dialogs = fake.get();
    form = std::make_unique<Form1>(std::move(fake));
  }

  // Keys and shortcuts reach only the active window; a read slow enough to show its progress
  // dialog takes the focus from it.
  bool activate() {
    form->activateWindow();
    return QTest::qWaitForWindowActive(form.get());
  }

  template <typename T>
  T* control(const char* name) {
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }
  QComboBox* combo() { return control<QComboBox>("Combo1"); }
  SectionPlotWidget* picture() { return control<SectionPlotWidget>("Picture1"); }
  void click(const char* button) {
    QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
  }
  void counts(const QString& concrete, const QString& steel) {
    control<QLineEdit>("TextConcrete")->setText(concrete);
    control<QLineEdit>("TextSteel")->setText(steel);
  }
  // Writes `bytes` to `name` in the test's folder, making its subfolders.
  QString writeFile(const QString& name, const QByteArray& bytes) {
    QDir(dir.path()).mkpath(QFileInfo(name).path());
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write");
    return f.fileName();
  }
  QString writeFile(const QByteArray& bytes) {
    return writeFile(QStringLiteral("input.txt"), bytes);
  }
  // Waits until the read under way, with any read again that it offered, has ended, and the
  // sections it read are compared.
  bool settle() {
    return QTest::qWaitFor(
        [this] {
          const FileDocument& d = form->document();
          return !d.isWorking(FileDocument::Work::Reading) &&
                 !d.isWorking(FileDocument::Work::CheckingAcross);
        },
        60000);
  }
  // Presses the Read button, picks `path` in the Open dialog and waits for the read.
  void read(const QString& path) {
    dialogs->nextFiles << path;
    click("Command5");
    if (!settle()) qFatal("the read did not end");
  }
  // Opens `path` as a file opened from outside is opened, and waits for the read.
  void open(const QString& path) {
    form->openFile(path);
    if (!settle()) qFatal("the read did not end");
  }
  // Drags `path` onto `target` as a file manager does, with the file's URL as text too, and
  // drops it there even when the drag was refused; returns whether it was accepted.
  static bool dropFile(QWidget* target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    data.setText(QUrl::fromLocalFile(path).toString());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return enter.isAccepted();
  }
  // The text pdftotext (Debian poppler-utils) reads from the PDF at `path`, without spaces:
  // the PDF places its glyphs one by one, and how it spaces them is pdftotext's guess.
  // Fails the test, leaving `text` empty, when it cannot.
  static void readPdfText(const QString& path, QString& text) {
    text.clear();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) QFAIL("pdftotext (Debian poppler-utils) is needed");
    QProcess p;
    p.start(pdftotext,
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    text = QString::fromUtf8(p.readAllStandardOutput()).remove(QLatin1Char(' '));
  }
};

}  // namespace fiberview
