// The JSON that `fiberview --check --json` writes for other programs. Its form, version 1:
//
//   {"format": "fiberview-check", "version": 1, "program": "<版本>", "onlyFindings": false,
//    "status": 1, "files": [<file>, ...]}
//   <file>, read:      {"path", "status": 0 or 1, "settings": {"version": "old" | "new",
//                       "titles", "concrete", "steel"}, "sectionCount",
//                       "sectionsWithFindings", "summary": "5 节，其中 1 节有问题",
//                       "sections": [<section>, ...]}
//   <file>, not read:  {"path", "status": 3 or 4, "message"}
//   <section>:  {"number", "title" (null without title lines), "concreteFibers",
//                "steelFibers", "concreteArea", "steelArea", "ratio", "regionWidth",
//                "regionHeight", "properties": {"B", "H", "E0"} or {"EA", "EIxx", "EIyy"},
//                "comparisons": {"B", "H"} or {"EA/Ac", "EIxx/Ixx", "EIyy/Iyy"},
//                "sameAs", "findings": [<finding>, ...]}
//   <finding>:  {"code", its parameters, "text": the sentence every window shows}
//
// Codes and their parameters: "value-not-finite" (fiber, value), "negative-area" (fiber,
// area), "zero-area" (fiber), "coincident-fibers" (fiber, otherFiber, x, y),
// "steel-outside-concrete" (fiber, x, y), "no-fibers", "region-failed" (reason),
// "width-mismatch" and "height-mismatch" (stated, measured, relative), "odd-bar" (fiber,
// area), "steel-area-outlier" (steelArea, common, sharing). A fiber is {"kind": "concrete" |
// "steel", "number"}; otherFiber is of the same kind.
//
// Numbers follow exportText: values read from the file exactly, computed figures to 12
// significant digits; a value that is not finite is the string "inf", "-inf" or "nan", and
// a figure that cannot be made is null. A property the file gives as text is a string.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "data/section_store.h"
#include "plot/section_row.h"

namespace fiberview {

// The entry of a file that was read and checked; `rows` are the verdicts of every section
// of `store`, of which the entry holds all or, with `onlyFindings`, those with findings.
QByteArray checkedFileJson(const QString& path, const ReadOptions& readWith,
                           const SectionStore& store, const std::vector<SectionRow>& rows,
                           bool onlyFindings);

// The entry of a file that could not be read or whose settings could not be told.
QByteArray unreadFileJson(const QString& path, int status, const QString& message);

// The whole document around the entries.
QByteArray checkJson(const std::vector<QByteArray>& files, int status, bool onlyFindings);

}  // namespace fiberview
