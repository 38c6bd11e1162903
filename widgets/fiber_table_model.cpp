#include "widgets/fiber_table_model.h"

#include <QStringList>
#include <cmath>

namespace fiberview {

FiberTableModel::FiberTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void FiberTableModel::setSection(std::shared_ptr<const SectionStore> store, int number) {
  beginResetModel();
  section_ = store ? store->section(number) : nullptr;
  store_ = section_ ? std::move(store) : nullptr;
  endResetModel();
}

QString FiberTableModel::widestText(int column) const {
  QString widest = headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  for (int row = 0, rows = rowCount(); row < rows; ++row) {
    const QString text = data(index(row, column), Qt::DisplayRole).toString();
    if (text.size() > widest.size()) widest = text;
  }
  return widest;
}

QString FiberTableModel::tabSeparated(const QList<int>& rows) const {
  QStringList lines;
  QStringList cells;
  for (int c = 0; c < kColumns; ++c)
    cells << headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  lines << cells.join(QLatin1Char('\t'));
  for (const int row : rows) {
    cells.clear();
    for (int c = 0; c < kColumns; ++c) cells << data(index(row, c), Qt::DisplayRole).toString();
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int FiberTableModel::concreteCount() const {
  return section_ ? static_cast<int>(section_->concrete.size()) : 0;
}

int FiberTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !section_) return 0;
  return concreteCount() + static_cast<int>(section_->steel.size());
}

int FiberTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

FiberRef FiberTableModel::fiberAt(int row) const {
  const int concrete = concreteCount();
  return row < concrete ? FiberRef{FiberKind::Concrete, row + 1}
                        : FiberRef{FiberKind::Steel, row - concrete + 1};
}

int FiberTableModel::rowOf(FiberRef fiber) const {
  if (!section_ || fiber.fiber < 1) return -1;
  const auto count =
      fiber.kind == FiberKind::Concrete ? section_->concrete.size() : section_->steel.size();
  if (static_cast<std::size_t>(fiber.fiber) > count) return -1;
  return fiber.kind == FiberKind::Concrete ? fiber.fiber - 1 : concreteCount() + fiber.fiber - 1;
}

std::optional<double> FiberTableModel::value(int row, int v) const {
  const FiberRef f = fiberAt(row);
  const auto i = static_cast<std::size_t>(f.fiber - 1);
  const auto at = static_cast<std::size_t>(v);
  if (f.kind == FiberKind::Concrete) return section_->concrete[i][at];
  if (at < section_->steel[i].size()) return section_->steel[i][at];
  return std::nullopt;
}

QVariant FiberTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !section_ || index.row() >= rowCount()) return {};
  const FiberRef f = fiberAt(index.row());
  const int column = index.column();
  if (role == Qt::TextAlignmentRole) {
    return column == kKindColumn ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                 : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole && role != kSortRole) return {};
  if (column == kKindColumn) {
    return role == kSortRole ? QVariant(static_cast<int>(f.kind)) : fiberKindName(f.kind);
  }
  if (column == kNumberColumn)
    return role == kSortRole ? QVariant(f.fiber) : QString::number(f.fiber);
  const std::optional<double> v = value(index.row(), column - kFirstValueColumn);
  if (!v) return {};
  if (role == Qt::DisplayRole) return exactNumber(*v);
  return std::isnan(*v) ? QVariant() : QVariant(*v);
}

QVariant FiberTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  switch (section) {
    case kKindColumn:
      return QStringLiteral("类型");
    case kNumberColumn:
      return QStringLiteral("编号");
    case kFirstValueColumn:
      return QStringLiteral("x");
    case kFirstValueColumn + 1:
      return QStringLiteral("y");
    case kFirstValueColumn + 2:
      return QStringLiteral("面积");
    default:
      // The further values keep their place in the fiber's line: 值4 is its fourth value.
      return QStringLiteral("值%1").arg(section - kFirstValueColumn + 1);
  }
}

}  // namespace fiberview
