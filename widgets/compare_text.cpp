#include "widgets/compare_text.h"

#include <variant>

#include "widgets/fiber_text.h"

namespace fiberview {

namespace {

// A kind's fibers are named one by one up to this many changes, and counted beyond.
constexpr int kNamedFibers = 3;

QString valueText(const Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return exactNumber(*d);
  if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
  return QStringLiteral("（空）");
}

QString pointText(Point p) {
  return QStringLiteral("x = %1，y = %2").arg(exactNumber(p.x), exactNumber(p.y));
}

QString fiberName(const FiberChange& f) {
  QString name =
      fiberKindName(f.kind) + QLatin1Char(' ') + QString::number(f.added() ? f.after : f.before);
  if (!f.added() && !f.removed() && f.after != f.before) {
    name += QStringLiteral("（新文件第 %1 根）").arg(f.after);
  }
  return name;
}

// What happened to a fiber, without its coordinates; `full` adds where it moved from and to.
QString fiberChangeText(const FiberChange& f, bool full) {
  if (f.added()) {
    return QStringLiteral("新增") + fiberName(f) +
           (full ? QStringLiteral("（%1）").arg(pointText(f.to)) : QString());
  }
  if (f.removed()) {
    return QStringLiteral("删除") + fiberName(f) +
           (full ? QStringLiteral("（%1）").arg(pointText(f.from)) : QString());
  }
  QStringList parts;
  if (f.moved) {
    parts << QStringLiteral("移动 %1").arg(figureNumber(*f.moved)) +
                 (full ? QStringLiteral("（%1 → %2）").arg(pointText(f.from), pointText(f.to))
                       : QString());
  }
  if (f.area) {
    QString area =
        QStringLiteral("面积 %1 → %2").arg(exactNumber((*f.area)[0]), exactNumber((*f.area)[1]));
    if ((*f.area)[0] != 0.0) {
      area += QStringLiteral("（× %1）").arg(QString::number((*f.area)[1] / (*f.area)[0], 'g', 4));
    }
    parts << area;
  }
  if (!f.values.empty()) {
    QStringList numbers;
    for (int v : f.values) numbers << QString::number(v);
    parts << QStringLiteral("第 %1 个值改变").arg(numbers.join(QStringLiteral("、")));
  }
  return fiberName(f) + QLatin1Char(' ') + parts.join(QStringLiteral("，"));
}

QString propertyText(const PropertyChange& p, FileVersion version) {
  return QStringLiteral("%1 %2 → %3")
      .arg(QString::fromLatin1(
               describe(version).propertyNames[static_cast<std::size_t>(p.property)]),
           valueText(p.before), valueText(p.after));
}

QString figureText(const std::optional<double>& v) {
  return v ? figureNumber(*v) : QStringLiteral("—");
}

QStringList figureSentences(const SectionComparison& row) {
  const struct {
    const char* name;
    std::optional<double> CompareFigures::*member;
    double CompareFigures::*always;
  } figures[] = {
      {"ΣAc", nullptr, &CompareFigures::concreteArea},
      {"ΣAs", nullptr, &CompareFigures::steelArea},
      {"配筋率 ΣAs/ΣAc", &CompareFigures::ratio, nullptr},
      {"混凝土区域宽度", &CompareFigures::regionWidth, nullptr},
      {"混凝土区域高度", &CompareFigures::regionHeight, nullptr},
  };
  const auto value = [](const CompareFigures& f, const auto& figure) {
    return figure.always != nullptr ? std::optional<double>(f.*figure.always) : f.*figure.member;
  };
  QStringList out;
  for (const auto& figure : figures) {
    const QString name = QString::fromUtf8(figure.name);
    if (row.figuresBefore && row.figuresAfter) {
      const QString a = figureText(value(*row.figuresBefore, figure));
      const QString b = figureText(value(*row.figuresAfter, figure));
      out << (a == b ? QStringLiteral("%1 %2（不变）").arg(name, a)
                     : QStringLiteral("%1 %2 → %3").arg(name, a, b));
    } else if (row.figuresBefore || row.figuresAfter) {
      out << QStringLiteral("%1 %2").arg(
          name,
          figureText(value(row.figuresBefore ? *row.figuresBefore : *row.figuresAfter, figure)));
    }
  }
  return out;
}

}  // namespace

QString statusName(SectionStatus status) {
  switch (status) {
    case SectionStatus::Added:
      return QStringLiteral("新增");
    case SectionStatus::Removed:
      return QStringLiteral("删除");
    case SectionStatus::Changed:
      return QStringLiteral("改变");
    case SectionStatus::Same:
      return QStringLiteral("相同");
  }
  return {};
}

QString compareStatusText(const Comparison& c) {
  return QStringLiteral("旧文件 %1 节，新文件 %2 节：新增 %3，删除 %4，改变 %5，相同 %6")
      .arg(c.sectionsBefore)
      .arg(c.sectionsAfter)
      .arg(c.count(SectionStatus::Added))
      .arg(c.count(SectionStatus::Removed))
      .arg(c.count(SectionStatus::Changed))
      .arg(c.count(SectionStatus::Same));
}

QString matchingText(const Comparison& c) {
  QString text;
  switch (c.matching) {
    case Matching::ByTitle:
      text = QStringLiteral("按标题配对");
      if (c.repeatedTitles > 0) {
        text += QStringLiteral("；%1 个标题重复出现，按出现顺序配对").arg(c.repeatedTitles);
      }
      break;
    case Matching::ByNumberUntitled:
      text = QStringLiteral("按编号配对（文件没有标题）");
      break;
    case Matching::ByNumberRequested:
      text = QStringLiteral("按编号配对");
      break;
  }
  if (!c.sections.empty() && !c.sections.front().propertiesCompared) {
    text += QStringLiteral("；两个文件版本不同，属性无法比较，只比较纤维");
  }
  return text;
}

QString changeSummary(const SectionComparison& row, FileVersion version) {
  if (row.status == SectionStatus::Added) return QStringLiteral("旧文件中没有这一节");
  if (row.status == SectionStatus::Removed) return QStringLiteral("新文件中没有这一节");
  QStringList parts;
  if (row.titleChanged) parts << QStringLiteral("标题改变");
  for (const PropertyChange& p : row.properties) parts << propertyText(p, version);
  for (const FiberKind kind : {FiberKind::Concrete, FiberKind::Steel}) {
    int changes = 0;
    int moved = 0, resized = 0, values = 0, added = 0, removed = 0;
    QStringList named;
    for (const FiberChange& f : row.fibers) {
      if (f.kind != kind) continue;
      ++changes;
      added += f.added();
      removed += f.removed();
      moved += f.moved.has_value();
      resized += f.area.has_value();
      values += !f.values.empty();
      named << fiberChangeText(f, false);
    }
    if (changes <= kNamedFibers) {
      parts << named;
      continue;
    }
    QStringList counted;
    const struct {
      int n;
      const char* what;
    } kinds[] = {{moved, "移动"},
                 {resized, "面积改变"},
                 {values, "其他值改变"},
                 {added, "新增"},
                 {removed, "删除"}};
    for (const auto& k : kinds) {
      if (k.n > 0) counted << QStringLiteral("%1 %2 根").arg(QString::fromUtf8(k.what)).arg(k.n);
    }
    parts << fiberKindName(kind) + QStringLiteral("：") + counted.join(QStringLiteral("，"));
  }
  return parts.join(QStringLiteral("；"));
}

QStringList changeSentences(const SectionComparison& row, FileVersion version) {
  QStringList out;
  if (row.status == SectionStatus::Same) return out;
  if (row.status != SectionStatus::Changed) {
    out << changeSummary(row, version);
    return out + figureSentences(row);
  }
  if (row.titleChanged) out << QStringLiteral("标题改变");
  for (const PropertyChange& p : row.properties) out << propertyText(p, version);
  if (!row.concreteByNumber) out << QStringLiteral("混凝土纤维数量不同，按位置配对");
  if (!row.steelByNumber) out << QStringLiteral("钢筋数量不同，按位置配对");
  for (const FiberChange& f : row.fibers) out << fiberChangeText(f, true);
  return out + figureSentences(row);
}

}  // namespace fiberview
