// The fibers of one section as a table: one row per fiber, concrete first, then steel, each
// in file order.
#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <optional>

#include "data/section_store.h"
#include "widgets/fiber_text.h"

namespace fiberview {

class FiberTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The role that sorts: the kind's order, the fiber number or the value as a double. A
  // steel fiber's sixth to eighth values and values that are not a number have none, so a
  // sort puts them last rather than breaking its order.
  static constexpr int kSortRole = Qt::UserRole;
  // 类型, 编号, x, y, 面积, then 值4 … 值8.
  static constexpr int kKindColumn = 0;
  static constexpr int kNumberColumn = 1;
  static constexpr int kFirstValueColumn = 2;
  static constexpr int kColumns = 10;

  explicit FiberTableModel(QObject* parent = nullptr);

  // Shows the fibers of section `number` (1-based) of `store`, which the model keeps; no
  // store, or a number it has no section for, shows no rows.
  void setSection(std::shared_ptr<const SectionStore> store, int number);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  FiberRef fiberAt(int row) const;
  // The longest text in `column`, header included, so that the column can be made wide
  // enough for every row; O(rows).
  QString widestText(int column) const;
  // The rows `rows` as tab-separated lines under a header line, for a spreadsheet; each
  // value as the table shows it.
  QString tabSeparated(const QList<int>& rows) const;
  // The row of `fiber`, or -1 when the section has no such fiber.
  int rowOf(FiberRef fiber) const;

 private:
  int concreteCount() const;
  // Value `v` (0-based: x, y, area, then the further values) of the fiber in `row`; none
  // past the fiber's last value.
  std::optional<double> value(int row, int v) const;

  std::shared_ptr<const SectionStore> store_;
  const Section* section_ = nullptr;  // in store_
};

}  // namespace fiberview
