// Starting a comparison from the main window: the file chosen is read as a file opened from
// outside is read, into a document of its own, and 两个文件的比较 opens on the open file and it.
#pragma once

#include <QString>
#include <functional>

#include "document/file_document.h"

class QWidget;

namespace fiberview {

class CompareWindow;
class UserDialogs;

// Reads `path` in the background: detects its layout, asks for a version the layout cannot
// tell, reads with the settings found (where the layout tells nothing, `before`'s), and
// offers other settings where the read fails or its values break a check, with the main
// window's messages. Once a store is taken, opens the comparison of `before` (the old file)
// with it as a window of `parent` and hands it to `opened`. A read that fails, or a question
// the user declines, opens nothing. `before`, `dialogs` and `parent` must outlive the read.
void openComparison(FileDocument& before, const QString& path, UserDialogs& dialogs,
                    QWidget* parent, std::function<void(CompareWindow*)> opened);

}  // namespace fiberview
