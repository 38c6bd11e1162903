#include "widgets/compare_table_model.h"

#include "widgets/compare_text.h"

namespace fiberview {

CompareTableModel::CompareTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void CompareTableModel::setComparison(std::shared_ptr<const SectionStore> before,
                                      std::shared_ptr<const SectionStore> after,
                                      Comparison comparison) {
  beginResetModel();
  before_ = std::move(before);
  after_ = std::move(after);
  comparison_ = std::move(comparison);
  endResetModel();
}

void CompareTableModel::clear() {
  setComparison(nullptr, nullptr, {});
}

int CompareTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(comparison_.sections.size());
}

int CompareTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant CompareTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != kExportRole) return {};
  const SectionComparison& row = comparison_.sections[static_cast<std::size_t>(index.row())];
  const auto number = [role](int n) -> QVariant {
    if (n == 0) return role == kExportRole ? QVariant(QString()) : QVariant(QStringLiteral("—"));
    return role == kExportRole ? QVariant(QString::number(n)) : QVariant(n);
  };
  const auto title = [role](const SectionStore* store, int n) -> QVariant {
    const Section* s = store != nullptr ? store->section(n) : nullptr;
    if (role == kExportRole || s == nullptr) return {};
    return QString::fromStdString(s->title);
  };
  switch (index.column()) {
    case kBeforeNumber:
      return number(row.before);
    case kBeforeTitle:
      return title(before_.get(), row.before);
    case kAfterNumber:
      return number(row.after);
    case kAfterTitle:
      return title(after_.get(), row.after);
    case kStatus:
      return role == kExportRole ? QVariant() : statusName(row.status);
    case kChanges:
      if (role == kExportRole || !before_) return {};
      return changeSummary(row, before_->version);
  }
  return {};
}

QVariant CompareTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const names[] = {"旧编号", "旧标题", "新编号", "新标题", "状态", "变化"};
  return section >= 0 && section < kColumns ? QString::fromUtf8(names[section]) : QVariant();
}

CompareFilterModel::CompareFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {}

void CompareFilterModel::setChangedOnly(bool on) {
  changedOnly_ = on;
  invalidateFilter();
}

void CompareFilterModel::setTitleSearch(const QString& text) {
  search_ = text.trimmed();
  invalidateFilter();
}

bool CompareFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const auto* model = static_cast<const CompareTableModel*>(sourceModel());
  const SectionComparison& row = model->comparison().sections[static_cast<std::size_t>(sourceRow)];
  if (changedOnly_ && row.status == SectionStatus::Same) return false;
  if (search_.isEmpty()) return true;
  for (int column : {CompareTableModel::kBeforeTitle, CompareTableModel::kAfterTitle}) {
    if (model->index(sourceRow, column).data().toString().contains(search_, Qt::CaseInsensitive)) {
      return true;
    }
  }
  return false;
}

}  // namespace fiberview
