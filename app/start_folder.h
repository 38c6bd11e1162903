// Where the Open dialog starts.
#pragma once

#include <QString>

namespace fiberview {

// The folder of `lastFile`, the file this window last read, when there is one. Otherwise
// the program's own folder when it holds text files (a build folder, with the samples
// beside the program); else an installed program's sample folder, share/fiberview/samples
// beside its bin/; else the program's own folder.
QString openDialogFolder(const QString& programFolder, const QString& lastFile);

}  // namespace fiberview
