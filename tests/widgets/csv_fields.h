// Reading back the CSV the windows export.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace fiberview {

// Fields of RFC 4180 CSV text, line by line.
inline QList<QStringList> parseCsv(const QString& text) {
  QList<QStringList> lines;
  QStringList fields;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
        field += c;
        ++i;
      } else if (c == u'"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == u'"') {
      quoted = true;
    } else if (c == u',') {
      fields << field;
      field.clear();
    } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      fields << field;
      lines << fields;
      fields.clear();
      field.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return lines;
}

}  // namespace fiberview
