#include "app/start_folder.h"

#include <QDir>
#include <QFileInfo>

namespace fiberview {

QString openDialogFolder(const QString& programFolder, const QString& lastFile) {
  if (!lastFile.isEmpty()) return QFileInfo(lastFile).absolutePath();
  const QDir program(programFolder);
  if (!program.entryList({QStringLiteral("*.txt")}, QDir::Files).isEmpty()) return programFolder;
  const QString installed =
      QDir::cleanPath(program.filePath(QStringLiteral("../share/fiberview/samples")));
  if (QFileInfo(installed).isDir()) return installed;
  return programFolder;
}

}  // namespace fiberview
