// Starting a comparison from the main window, and choosing another file in it: the file
// chosen is read as a file opened from outside is read, into a document of its own, and
// 两个文件的比较 opens on the open file and it, or compares it in place of the file it
// replaces.
#pragma once

#include <QString>
#include <functional>

#include "document/file_document.h"
#include "widgets/compare_window.h"

class QWidget;

namespace fiberview {

class UserDialogs;

// Asks for the file to compare as the old or the new one, starting in the folder of `near`;
// an empty string when the user cancels.
QString chooseComparedFile(UserDialogs& dialogs, const QString& near, CompareSide side);

// Reads `path` in the background: detects its layout, asks for a version the layout cannot
// tell, reads with the settings found (where the layout tells nothing, `before`'s), and
// offers other settings where the read fails or its values break a check, with the main
// window's messages. Once a store is taken, opens the comparison of `before` (the old file)
// with it as a window of `parent` and hands it to `opened`; the window's 换旧文件… and
// 换新文件… then choose and read another file the same way. A read that fails, or a question
// the user declines, opens nothing. `before`, `dialogs` and `parent` must outlive the read,
// and `dialogs` the window.
void openComparison(FileDocument& before, const QString& path, UserDialogs& dialogs,
                    QWidget* parent, std::function<void(CompareWindow*)> opened);

}  // namespace fiberview
