// A comparison of two files as a table, one row per section, and the proxy that shows only
// the sections that differ and matches titles in either file.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <memory>

#include "data/section_store.h"
#include "plot/section_compare.h"

namespace fiberview {

class CompareTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Section numbers as the exports write them; none for the cells of text.
  static constexpr int kExportRole = Qt::UserRole + 1;
  enum Column {
    kBeforeNumber,
    kBeforeTitle,
    kAfterNumber,
    kAfterTitle,
    kStatus,
    kChanges,
    kColumns
  };

  explicit CompareTableModel(QObject* parent = nullptr);

  // Shows `comparison` of `before` with `after`; replaces whatever was shown.
  void setComparison(std::shared_ptr<const SectionStore> before,
                     std::shared_ptr<const SectionStore> after, Comparison comparison);
  void clear();
  const Comparison& comparison() const { return comparison_; }
  const std::shared_ptr<const SectionStore>& before() const { return before_; }
  const std::shared_ptr<const SectionStore>& after() const { return after_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::shared_ptr<const SectionStore> before_, after_;
  Comparison comparison_;
};

// With `changedOnly`, the sections that are not the same; with a search text, the sections
// whose title in either file holds it (ignoring case). Rows keep the model's order.
class CompareFilterModel : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit CompareFilterModel(QObject* parent = nullptr);
  void setChangedOnly(bool on);
  void setTitleSearch(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  bool changedOnly_ = false;
  QString search_;
};

}  // namespace fiberview
