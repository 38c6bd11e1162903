#include "widgets/fiber_text.h"

#include <QStringList>

namespace fiberview {

namespace {

template <typename Fiber>
QString describe(const std::vector<Fiber>& fibers, FiberKind kind, int fiber) {
  if (fiber < 1 || static_cast<std::size_t>(fiber) > fibers.size()) return {};
  const Fiber& f = fibers[static_cast<std::size_t>(fiber) - 1];
  QStringList further;
  for (std::size_t v = 3; v < f.size(); ++v) further << shortNumber(f[v]);
  return QStringLiteral("%1纤维 %2\nx = %3，y = %4\n面积 = %5\n其他值：%6")
      .arg(fiberKindName(kind), QString::number(fiber), shortNumber(f[0]), shortNumber(f[1]),
           shortNumber(f[2]), further.join(QStringLiteral(", ")));
}

}  // namespace

QString shortNumber(double value) {
  return QString::number(value, 'g', 6);
}

QString fiberKindName(FiberKind kind) {
  return kind == FiberKind::Concrete ? QStringLiteral("混凝土") : QStringLiteral("钢筋");
}

QString fiberToolTip(const Section& section, FiberKind kind, int fiber) {
  return kind == FiberKind::Concrete ? describe(section.concrete, kind, fiber)
                                     : describe(section.steel, kind, fiber);
}

}  // namespace fiberview
