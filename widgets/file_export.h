// Writing the files the user exports. Every write to a file goes through QSaveFile: the new file
// appears whole under its name or not at all, and a file it would replace stays as it was
// until then.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QAbstractItemModel;
class QIODevice;
class QRect;
class QWidget;

namespace fiberview {

enum class WriteStep { Done, Cancelled, Failed };

// Writes `path` with `write`. Returns an empty string when the file was written, otherwise
// the message to show: a Chinese sentence naming the file and the reason, or for a
// cancelled write a sentence saying that nothing was written. Either way no file is left
// behind, and a file of that name stays as it was. A path that names a device or a pipe is
// written straight into, and stays what it is.
QString writeWholeFile(const QString& path, const std::function<WriteStep(QIODevice&)>& write);

// `columns` of `model` as CSV, in that order, with the rows as they stand (sorted and
// filtered): a byte order mark, then the headers and one line per row, CR LF line ends,
// fields quoted where they hold a comma, a quote or a line end. A cell for which `role` gives
// a value is a number, written as that value; any other takes its displayed text, with an
// apostrophe before it when it begins with =, +, -, @, a tab or a CR, so that a spreadsheet
// takes it for text and never runs it as a formula (a title may be "=HYPERLINK(...)").
QByteArray csvText(const QAbstractItemModel& model, int role, const QList<int>& columns);

// Writes the picture that 复制图像 copies, `area` of `widget` as it is drawn with `caption`
// below it: an SVG when `path` ends in .svg (any case), otherwise a PNG at twice the
// screen's device pixels. Returns as writeWholeFile.
QString saveWidgetPicture(QWidget& widget, const QRect& area, const QString& caption,
                          const QString& path);

// The Save dialog's filter for pictures; PNG first.
QString pictureFilter();

}  // namespace fiberview
