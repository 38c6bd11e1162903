// fiberview --compare OLD NEW [--tolerance D] [--by-number] [--csv OUT] [--json OUT]
// [--pdf OUT]: the comparison of two files without a window. Each file is read with the
// settings its layout shows, as a file opened from outside. Prints the status line, how the
// sections were matched and one line per section that differs; writes the table as CSV, the
// comparison as JSON (with a version and a stable code for each kind of change) and the
// report as PDF where asked.
//
// Exit status: 0 the files hold the same sections, 1 they differ, 2 the command is wrong,
// 3 a file cannot be read (or an output cannot be written), 4 a file's layout does not tell
// how to read it.
#pragma once

#include <QStringList>

namespace fiberview {

// Whether the arguments (the program's name first) ask for a comparison.
bool isCompareCommand(const QStringList& arguments);

// Runs the comparison the arguments ask for and returns the exit status. Needs no display:
// where no application object exists yet, it makes one on the offscreen platform.
int runCompare(const QStringList& arguments);

}  // namespace fiberview
