// A check of the program where it runs, for installers and packagers: fiberview
// --self-check FILE.
#pragma once

#include <QString>

namespace fiberview {

// Opens `file` in a window as from the command line, with dialogs that show nothing, and
// checks what a user would see: the first section drawn in red and black, the window icon,
// the CJK font and Qt's Chinese texts. Needs the QApplication and setUpApplication().
// Prints one line per check to standard output and writes no file. Returns 0 when every
// check passes, 1 otherwise.
int selfCheck(const QString& file);

}  // namespace fiberview
