#include "widgets/fiber_text.h"

#include <QStringList>

#include "plot/number_format.h"

namespace fiberview {

namespace {

template <typename Fiber>
QString describe(const FiberList<Fiber>& fibers, FiberKind kind, int fiber) {
  if (fiber < 1 || static_cast<std::size_t>(fiber) > fibers.size()) return {};
  const Fiber& f = fibers[static_cast<std::size_t>(fiber) - 1];
  QStringList further;
  for (std::size_t v = 3; v < f.size(); ++v) further << exactNumber(f[v]);
  return QStringLiteral("%1纤维 %2\nx = %3，y = %4\n面积 = %5\n其他值：%6")
      .arg(fiberKindName(kind), QString::number(fiber), exactNumber(f[0]), exactNumber(f[1]),
           exactNumber(f[2]), further.join(QStringLiteral(", ")));
}

}  // namespace

QString exactNumber(double value) {
  return QString::fromStdString(exactText(value));
}

QString figureNumber(double value) {
  return QString::fromStdString(figureText(value));
}

QString fiberKindName(FiberKind kind) {
  return kind == FiberKind::Concrete ? QStringLiteral("混凝土") : QStringLiteral("钢筋");
}

QString fiberToolTip(const Section& section, FiberKind kind, int fiber) {
  return kind == FiberKind::Concrete ? describe(section.concrete, kind, fiber)
                                     : describe(section.steel, kind, fiber);
}

}  // namespace fiberview
