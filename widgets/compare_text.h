// What a comparison of two files says in words: the status of a section, how the sections
// were matched, the status line, and each section's changes. The window, its exports and
// the command line all say these.
#pragma once

#include <QString>
#include <QStringList>

#include "data/file_version.h"
#include "plot/section_compare.h"

namespace fiberview {

// 新增, 删除, 改变 or 相同.
QString statusName(SectionStatus status);

// "旧文件 2000 节，新文件 2002 节：新增 2，删除 0，改变 14，相同 1986".
QString compareStatusText(const Comparison& comparison);

// How the sections were matched, e.g. "按标题配对；2 个标题重复出现，按出现顺序配对".
QString matchingText(const Comparison& comparison);

// The changes of one row in a line, counted by kind where a section has many, e.g.
// "E0 30000 → 32500；钢筋：移动 2 根，新增 4 根". Property names are those of `version`, the
// old file's. Empty for a section that is the same.
QString changeSummary(const SectionComparison& row, FileVersion version);

// Every change of one row, a sentence each: title, properties, each fiber, then the figures
// before and after. Empty for a section that is the same.
QStringList changeSentences(const SectionComparison& row, FileVersion version);

}  // namespace fiberview
