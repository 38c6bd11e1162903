// Every section of a file as a table, one row per section, from the lines checkFile makes;
// and the proxy that sorts it, shows only the sections with findings and matches titles.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <array>
#include <optional>
#include <vector>

#include "data/file_version.h"
#include "plot/section_row.h"
#include "widgets/fiber_text.h"

namespace fiberview {

// How a column of figures is shown: QString::number's notation and precision.
struct ColumnFormat {
  char notation = 'g';
  int precision = 6;
};

class SectionTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Numbers as doubles, so that a sort orders them as numbers; cells without a figure have
  // none and sort last.
  static constexpr int kSortRole = Qt::UserRole;
  // Numbers as the exports write them (exportText), for the cells that hold a number; none
  // for the cells of text.
  static constexpr int kExportRole = Qt::UserRole + 1;
  enum Column {
    kNumber,
    kTitle,
    kConcreteCount,
    kSteelCount,
    kConcreteArea,
    kSteelArea,
    kRatio,
    kRegionWidth,
    kRegionHeight,
    kProperty1,
    kProperty2,
    kProperty3,
    kComparison1,
    kComparison2,
    kComparison3,
    kSameAs,
    kFindingCount,
    kFindings,
    kColumns
  };

  explicit SectionTableModel(QObject* parent = nullptr);

  // Shows `rows`, read as `version`; replaces whatever was shown.
  void setRows(std::vector<SectionRow> rows, FileVersion version);
  void clear();
  const std::vector<SectionRow>& rows() const { return rows_; }
  FileVersion version() const { return version_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  void chooseFormats();

  std::vector<SectionRow> rows_;
  FileVersion version_ = FileVersion::Old;
  std::array<ColumnFormat, kColumns> formats_{};
};

// Sorts on SectionTableModel::kSortRole; with `findingsOnly` shows the sections with
// findings alone, and with a search text the sections whose title holds it (ignoring case).
class SectionFilterModel : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit SectionFilterModel(QObject* parent = nullptr);
  void setFindingsOnly(bool on);
  bool findingsOnly() const { return findingsOnly_; }
  void setTitleSearch(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  bool findingsOnly_ = false;
  QString search_;
};

// The kinds of findings of `row` in words, e.g. "钢筋在混凝土区域外；B 与区域宽度不符".
QString findingKindsText(const SectionRow& row);

// One finding of a section's verdict in words, and the fiber it names, if it names one.
struct VerdictLine {
  QString text;
  std::optional<FiberRef> fiber;
};

// Every finding of `row`, fiber findings first. Every window, export and report that states
// a section's findings states these.
std::vector<VerdictLine> verdictLines(const SectionRow& row);
// The same as sentences.
QStringList findingSentences(const SectionRow& row);
// The fibers the findings of `row` name, which the drawings ring.
std::vector<FiberRef> flaggedFibers(const SectionRow& row);
// What a section without findings of its own shows until it is compared with the others.
QString notComparedText();

// "2000 节，其中 3 节有问题"; "2000 节，未发现问题" when none has findings.
QString tableStatusText(const std::vector<SectionRow>& rows);

}  // namespace fiberview
