#include "widgets/section_table_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/number_format.h"
#include "widgets/fiber_text.h"
#include "widgets/section_report.h"

namespace fiberview {

namespace {

QString checkKindName(CheckKind kind) {
  switch (kind) {
    case CheckKind::NotFinite:
      return QStringLiteral("数值不是有限数");
    case CheckKind::NegativeArea:
      return QStringLiteral("面积为负");
    case CheckKind::ZeroArea:
      return QStringLiteral("面积为 0");
    case CheckKind::Coincident:
      return QStringLiteral("纤维重合");
    case CheckKind::SteelOutsideConcrete:
      return QStringLiteral("钢筋在混凝土区域外");
  }
  return {};
}

QString issueName(SectionIssue issue) {
  switch (issue) {
    case SectionIssue::NoFibers:
      return QStringLiteral("没有纤维");
    case SectionIssue::RegionFailed:
      return QStringLiteral("混凝土区域无法构成");
    case SectionIssue::WidthMismatch:
      return QStringLiteral("B 与区域宽度不符");
    case SectionIssue::HeightMismatch:
      return QStringLiteral("H 与区域高度不符");
    case SectionIssue::OddBar:
      return QStringLiteral("一根钢筋面积与其余不同");
    case SectionIssue::SteelAreaOutlier:
      return QStringLiteral("ΣAs 与同样混凝土的截面不同");
  }
  return {};
}

// Six significant digits: the table is for finding sections, the exports carry every digit.
QString shortNumber(double value) {
  return QString::number(value, 'g', 6);
}

QString formatted(double value, const ColumnFormat& f) {
  return QString::number(value, f.notation, f.precision);
}

QString percentText(double relative) {
  const double percent = relative * 100.0;
  QString text = std::abs(percent) < 1e4 ? QString::number(percent, 'f', 1) : shortNumber(percent);
  if (text == QLatin1String("-0.0")) text = QStringLiteral("0.0");
  if (percent > 0.0 && text != QLatin1String("0.0")) text.prepend(QLatin1Char('+'));
  return text + QStringLiteral(" %");
}

QVariant numberCell(const std::optional<double>& v, int role, NumberKind kind,
                    const ColumnFormat& format) {
  if (!v) return role == Qt::DisplayRole ? QVariant(QStringLiteral("—")) : QVariant();
  if (role == SectionTableModel::kSortRole) return *v;
  if (role == SectionTableModel::kExportRole) return QString::fromStdString(exportText(*v, kind));
  return formatted(*v, format);
}

QVariant propertyCell(const Value& v, int role, const ColumnFormat& format) {
  if (const auto* d = std::get_if<double>(&v)) {
    return numberCell(*d, role, NumberKind::Read, format);
  }
  // Text sorts after every number, and is no number to export.
  if (role != Qt::DisplayRole) return {};
  if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
  return QString();
}

}  // namespace

QString findingKindsText(const SectionRow& row) {
  QStringList kinds;
  for (const Finding& f : row.fiberFindings) {
    const QString name = checkKindName(f.kind);
    if (!kinds.contains(name)) kinds << name;
  }
  for (SectionIssue issue : row.issues) kinds << issueName(issue);
  return kinds.join(QStringLiteral("；"));
}

std::vector<VerdictLine> verdictLines(const SectionRow& row) {
  std::vector<VerdictLine> out;
  for (const Finding& f : row.fiberFindings) {
    out.push_back({findingText(f), FiberRef{f.fiberKind, f.fiber}});
  }
  for (SectionIssue issue : row.issues) {
    switch (issue) {
      case SectionIssue::WidthMismatch:
        out.push_back(
            {QStringLiteral("混凝土区域的宽度与 B 相差 %1").arg(percentText(*row.comparisons[0])),
             std::nullopt});
        break;
      case SectionIssue::HeightMismatch:
        out.push_back(
            {QStringLiteral("混凝土区域的高度与 H 相差 %1").arg(percentText(*row.comparisons[1])),
             std::nullopt});
        break;
      case SectionIssue::OddBar:
        out.push_back({QStringLiteral("第 %1 根钢筋的面积与其余钢筋不同").arg(row.oddBars.front()),
                       FiberRef{FiberKind::Steel, row.oddBars.front()}});
        break;
      case SectionIssue::SteelAreaOutlier:
        out.push_back({QStringLiteral("ΣAs = %1，同样混凝土的 %2 节为 %3")
                           .arg(shortNumber(row.steelArea))
                           .arg(row.steelOutlier ? row.steelOutlier->sharing : 0)
                           .arg(shortNumber(row.steelOutlier ? row.steelOutlier->common : 0.0)),
                       std::nullopt});
        break;
      case SectionIssue::NoFibers:
        out.push_back({QStringLiteral("本节没有纤维"), std::nullopt});
        break;
      case SectionIssue::RegionFailed:
        out.push_back({regionFailureText(row.regionFailure), std::nullopt});
        break;
    }
  }
  return out;
}

QStringList findingSentences(const SectionRow& row) {
  QStringList out;
  for (const VerdictLine& line : verdictLines(row)) out << line.text;
  return out;
}

std::vector<FiberRef> flaggedFibers(const SectionRow& row) {
  std::vector<FiberRef> out;
  for (const VerdictLine& line : verdictLines(row)) {
    if (line.fiber) out.push_back(*line.fiber);
  }
  return out;
}

QString notComparedText() {
  return QStringLiteral("本节尚未与其他截面比较");
}

QString tableStatusText(const std::vector<SectionRow>& rows) {
  int flagged = 0;
  for (const SectionRow& r : rows) flagged += r.hasFindings() ? 1 : 0;
  if (flagged == 0) return QStringLiteral("%1 节，未发现问题").arg(rows.size());
  return QStringLiteral("%1 节，其中 %2 节有问题").arg(rows.size()).arg(flagged);
}

SectionTableModel::SectionTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void SectionTableModel::setRows(std::vector<SectionRow> rows, FileVersion version) {
  beginResetModel();
  rows_ = std::move(rows);
  version_ = version;
  chooseFormats();
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

// One format for each column of figures, so that they line up and compare at a glance:
// plain digits, to six significant ones for the largest, where every figure of the column
// lies between 0.001 and 10⁷; powers of ten where they span more.
void SectionTableModel::chooseFormats() {
  formats_.fill(ColumnFormat{});
  for (int c = kConcreteArea; c < kColumns; ++c) {
    double largest = 0.0;
    double smallest = std::numeric_limits<double>::infinity();
    for (int r = 0; r < rowCount(); ++r) {
      const QVariant v = data(index(r, c), kSortRole);
      if (v.typeId() != QMetaType::Double) continue;
      const double a = std::abs(v.toDouble());
      if (!std::isfinite(a)) continue;
      largest = std::max(largest, a);
      if (a > 0.0) smallest = std::min(smallest, a);
    }
    if (largest == 0.0) continue;
    if (largest < 1e7 && smallest >= 1e-3) {
      const int digits = static_cast<int>(std::floor(std::log10(largest))) + 1;
      formats_[static_cast<std::size_t>(c)] = {'f', std::clamp(6 - digits, 0, 6)};
    } else {
      formats_[static_cast<std::size_t>(c)] = {'e', 4};
    }
  }
}

void SectionTableModel::clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

int SectionTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SectionTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant SectionTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole) {
    const bool text = index.column() == kTitle || index.column() == kFindings;
    return QVariant::fromValue(Qt::AlignVCenter | (text ? Qt::AlignLeft : Qt::AlignRight));
  }
  // A title or a list of findings may be wider than its column; its tooltip shows it whole.
  if (role == Qt::ToolTipRole) {
    return index.column() == kTitle || index.column() == kFindings ? data(index, Qt::DisplayRole)
                                                                   : QVariant();
  }
  if (role != Qt::DisplayRole && role != kSortRole && role != kExportRole) return {};
  const SectionRow& r = rows_[static_cast<std::size_t>(index.row())];
  const auto integer = [role](int v) {
    return role == kSortRole ? QVariant(v) : QVariant(QString::number(v));
  };
  const auto text = [role](const QString& s) {
    if (role == kExportRole) return QVariant();
    return role == kSortRole ? QVariant(s.toCaseFolded()) : QVariant(s);
  };
  constexpr NumberKind computed = NumberKind::Computed;
  const ColumnFormat& format = formats_[static_cast<std::size_t>(index.column())];
  switch (index.column()) {
    case kNumber:
      return integer(r.number);
    case kTitle:
      return text(QString::fromStdString(r.title));
    case kConcreteCount:
      return integer(r.concreteCount);
    case kSteelCount:
      return integer(r.steelCount);
    case kConcreteArea:
      return numberCell(r.concreteArea, role, computed, format);
    case kSteelArea:
      return numberCell(r.steelArea, role, computed, format);
    case kRatio:
      if (role == Qt::DisplayRole && r.ratio) return percentText(*r.ratio).remove(QLatin1Char('+'));
      return numberCell(r.ratio, role, computed, format);
    case kRegionWidth:
      return numberCell(r.regionWidth, role, computed, format);
    case kRegionHeight:
      return numberCell(r.regionHeight, role, computed, format);
    case kProperty1:
    case kProperty2:
    case kProperty3:
      return propertyCell(r.properties[static_cast<std::size_t>(index.column() - kProperty1)], role,
                          format);
    case kComparison1:
    case kComparison2:
    case kComparison3: {
      const auto& c = r.comparisons[static_cast<std::size_t>(index.column() - kComparison1)];
      // After an old-version read, the differences of the region from B and H.
      const bool old = version_ == FileVersion::Old;
      if (role == Qt::DisplayRole && c && old) return percentText(*c);
      return numberCell(c, role, old ? NumberKind::RelativeDifference : computed, format);
    }
    case kSameAs:
      if (r.sameAs == 0) return role == kSortRole ? QVariant() : QVariant(QString());
      return integer(r.sameAs);
    case kFindingCount:
      return integer(r.findingCount());
    case kFindings:
      // Each finding whole, with the fiber it names and what was expected.
      return text(findingSentences(r).join(QStringLiteral("；")));
  }
  return {};
}

QVariant SectionTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  const bool old = version_ == FileVersion::Old;
  switch (section) {
    case kNumber:
      return QStringLiteral("编号");
    case kTitle:
      return QStringLiteral("标题");
    case kConcreteCount:
      return QStringLiteral("混凝土");
    case kSteelCount:
      return QStringLiteral("钢筋");
    case kConcreteArea:
      return QStringLiteral("ΣAc");
    case kSteelArea:
      return QStringLiteral("ΣAs");
    case kRatio:
      return QStringLiteral("配筋率");
    case kRegionWidth:
      return QStringLiteral("区域宽度");
    case kRegionHeight:
      return QStringLiteral("区域高度");
    case kProperty1:
    case kProperty2:
    case kProperty3: {
      const VersionDescription& d = describe(version_);
      const int i = d.shownOrder[static_cast<std::size_t>(section - kProperty1)];
      return QString::fromLatin1(d.propertyNames[static_cast<std::size_t>(i)]);
    }
    case kComparison1:
      return old ? QStringLiteral("宽度对 B") : QStringLiteral("EA/ΣAc");
    case kComparison2:
      return old ? QStringLiteral("高度对 H") : QStringLiteral("EIxx/Ixx");
    case kComparison3:
      return old ? QStringLiteral("—") : QStringLiteral("EIyy/Iyy");
    case kSameAs:
      return QStringLiteral("相同于");
    case kFindingCount:
      return QStringLiteral("问题数");
    case kFindings:
      return QStringLiteral("问题");
  }
  return {};
}

SectionFilterModel::SectionFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(SectionTableModel::kSortRole);
}

void SectionFilterModel::setFindingsOnly(bool on) {
  findingsOnly_ = on;
  invalidateFilter();
}

void SectionFilterModel::setTitleSearch(const QString& text) {
  search_ = text.trimmed();
  invalidateFilter();
}

bool SectionFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const SectionTableModel*>(sourceModel());
  const SectionRow& r = model->rows()[static_cast<std::size_t>(sourceRow)];
  if (findingsOnly_ && !r.hasFindings()) return false;
  return search_.isEmpty() ||
         QString::fromStdString(r.title).contains(search_, Qt::CaseInsensitive);
}

}  // namespace fiberview
