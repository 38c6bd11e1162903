#include "widgets/file_export.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QWidget>

#include "widgets/widget_image.h"

namespace fiberview {

namespace {

// Why a file could not be written, in words; QFileDevice's own texts are English.
QString reason(const QFileDevice& file, const QString& path) {
  const QFileInfo info(path);
  const QFileInfo folder(info.absolutePath());
  if (file.error() == QFileDevice::OpenError) {
    if (!folder.isDir()) return QStringLiteral("文件夹不存在");
    if (!folder.isWritable()) return QStringLiteral("没有在该文件夹中写入的权限");
    if (info.exists() && !info.isWritable()) return QStringLiteral("文件是只读的");
    return QStringLiteral("无法创建文件");
  }
  if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResizeError) {
    return QStringLiteral("写入失败，磁盘可能已满");
  }
  return QStringLiteral("无法完成写入");
}

// Text from a file, made inert for a spreadsheet: the characters that start a formula, and
// the tab and CR some programs skip before one.
QString inertText(QString text) {
  static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
  if (!text.isEmpty() && kFormulaStarts.contains(text.front())) text.prepend(QLatin1Char('\''));
  return text;
}

QString csvField(QString text) {
  if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
      text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
    text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
  }
  return text;
}

}  // namespace

// A device or a pipe, such as /dev/null or a shell's >(…), takes the bytes as they come:
// putting a new file in its place would break it for every other program.
QString writeToDevice(const QString& path, const std::function<WriteStep(QIODevice&)>& write) {
  const QString name = QDir::toNativeSeparators(path);
  QFile device(path);
  if (!device.open(QIODevice::WriteOnly)) {
    return QStringLiteral("无法写入“%1”：%2。").arg(name, reason(device, path));
  }
  const WriteStep step = write(device);
  device.close();
  if (step == WriteStep::Cancelled) return QStringLiteral("已取消写入“%1”。").arg(name);
  if (step == WriteStep::Failed) {
    return QStringLiteral("无法写入“%1”：%2。").arg(name, QStringLiteral("无法生成文件的内容"));
  }
  if (device.error() != QFileDevice::NoError) {
    return QStringLiteral("无法写入“%1”：%2。").arg(name, reason(device, path));
  }
  return {};
}

QString writeWholeFile(const QString& path, const std::function<WriteStep(QIODevice&)>& write) {
  const QFileInfo target(path);
  if (target.exists() && !target.isFile() && !target.isDir()) return writeToDevice(path, write);
  const QString name = QDir::toNativeSeparators(path);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return QStringLiteral("无法写入文件“%1”：%2。").arg(name, reason(file, path));
  }
  const WriteStep step = write(file);
  if (step != WriteStep::Done) {
    file.cancelWriting();
    file.commit();  // removes the temporary file
    if (step == WriteStep::Cancelled) return QStringLiteral("已取消，没有写入文件“%1”。").arg(name);
    return QStringLiteral("无法写入文件“%1”：%2。").arg(name, QStringLiteral("无法生成文件的内容"));
  }
  if (!file.commit()) {
    return QStringLiteral("无法写入文件“%1”：%2。").arg(name, reason(file, path));
  }
  return {};
}

QByteArray csvText(const QAbstractItemModel& model, int role, const QList<int>& columns) {
  QString out;
  QStringList fields;
  for (int c : columns) {
    fields << csvField(inertText(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString()));
  }
  out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  for (int r = 0; r < model.rowCount(); ++r) {
    fields.clear();
    for (int c : columns) {
      const QModelIndex i = model.index(r, c);
      const QVariant number = model.data(i, role);
      fields << csvField(number.isValid() ? number.toString()
                                          : inertText(model.data(i).toString()));
    }
    out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  }
  return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

QString saveWidgetPicture(QWidget& widget, const QRect& area, const QString& caption,
                          const QString& path) {
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    return writeWholeFile(path, [&](QIODevice& device) {
      QSvgGenerator svg;
      svg.setOutputDevice(&device);
      const QSize size = pictureSize(widget, area);
      svg.setSize(size);
      svg.setViewBox(QRect(QPoint(), size));
      // QSvgGenerator writes the title into <title> as it is given; the text it draws, it
      // escapes itself.
      svg.setTitle(caption.toHtmlEscaped());
      QPainter painter(&svg);
      painter.fillRect(QRect(QPoint(), size), Qt::white);
      paintPicture(painter, widget, area, caption);
      return painter.end() ? WriteStep::Done : WriteStep::Failed;
    });
  }
  return writeWholeFile(path, [&](QIODevice& device) {
    return doubleResolutionImage(widget, area, caption).save(&device, "PNG") ? WriteStep::Done
                                                                             : WriteStep::Failed;
  });
}

QString pictureFilter() {
  return QStringLiteral("PNG 图像 (*.png);;SVG 图像 (*.svg)");
}

}  // namespace fiberview
