// What every program that shows the window sets up first.
#pragma once

namespace fiberview {

// Makes Qt's own dialogs speak Chinese and sets a CJK font at a size whose captions fit
// the window's fixed boxes. Call once, after the QApplication exists.
void setUpApplication();

}  // namespace fiberview
