// The texts of the Help menu: a short guide to the program and what the About box says.
#pragma once

#include <QString>

namespace fiberview {

// A short guide in Chinese, as rich text: what the program shows, how to read a file, and
// where its checks and exports are.
QString usageGuideHtml();

// The program's name, version and licence, and the versions of Qt and GEOS it runs with.
QString aboutText();

}  // namespace fiberview
