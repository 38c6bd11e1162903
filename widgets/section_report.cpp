#include "widgets/section_report.h"

#include <QStringList>
#include <cmath>

#include "plot/number_format.h"
#include "plot/section_summary.h"
#include "widgets/fiber_text.h"

namespace fiberview {

namespace {

QString fiberName(FiberKind kind) {
  return fiberKindName(kind) + QStringLiteral("纤维");
}

QString optionalNumber(const std::optional<double>& value) {
  return value ? figureNumber(*value) : QStringLiteral("—");
}

// A centroid to the precision its sums allow: rounding leaves noise such as -5.8e-15 where
// a symmetric section has 0, so a coordinate a billionth of the section's size from 0 is 0.
QString pointText(const std::optional<Point>& p, const std::optional<Extent>& extent) {
  if (!p) return QStringLiteral("—（面积为 0）");
  const double size = extent ? extent->width() + extent->height() : 0.0;
  const auto coordinate = [size](double v) {
    return figureNumber(std::abs(v) < 1e-9 * size ? 0.0 : v);
  };
  return QStringLiteral("x = %1，y = %2").arg(coordinate(p->x), coordinate(p->y));
}

// (measured − stated) / |stated| as a signed percentage with one decimal.
QString relativeText(const std::optional<double>& relative) {
  if (!relative) return QStringLiteral("无法计算");
  const double percent = *relative * 100.0;
  // A fixed decimal would write hundreds of digits for a wildly wrong figure.
  QString text = std::abs(percent) < 1e4 ? QString::number(percent, 'f', 1) : figureNumber(percent);
  if (text == QLatin1String("-0.0")) text = QStringLiteral("0.0");
  if (percent > 0.0 && text != QLatin1String("0.0")) text.prepend(QLatin1Char('+'));
  return text + QStringLiteral(" %");
}

class Lines {
 public:
  void heading(const QString& text) { lines_.push_back({SummaryLine::Heading, {text}}); }
  void row(const QStringList& cells) { lines_.push_back({SummaryLine::Row, cells}); }
  void note(const QString& text) { lines_.push_back({SummaryLine::Note, {text}}); }
  void extent(const QString& what, const std::optional<Extent>& e) {
    if (!e) {
      row({what, QStringLiteral("—")});
      return;
    }
    row({what, QStringLiteral("x：%1 … %2（宽 %3）")
                   .arg(figureNumber(e->xmin), figureNumber(e->xmax), figureNumber(e->width()))});
    row({QString(),
         QStringLiteral("y：%1 … %2（高 %3）")
             .arg(figureNumber(e->ymin), figureNumber(e->ymax), figureNumber(e->height()))});
  }
  std::vector<SummaryLine> take() { return std::move(lines_); }

 private:
  std::vector<SummaryLine> lines_;
};

// Why property `i` has no number to compare, or nothing when it has one.
QString notANumber(const Section& section, const VersionDescription& v, int i) {
  const auto at = static_cast<std::size_t>(i);
  const Value& value = section.properties[at];
  if (const auto* text = std::get_if<std::string>(&value)) {
    return QStringLiteral("%1 是文字“%2”")
        .arg(QLatin1String(v.propertyNames[at]), QString::fromStdString(*text));
  }
  if (std::holds_alternative<std::monostate>(value)) {
    return QStringLiteral("%1 为空").arg(QLatin1String(v.propertyNames[at]));
  }
  return {};
}

QString problemsOf(const Section& section, const VersionDescription& v,
                   std::initializer_list<int> properties) {
  QStringList problems;
  for (const int i : properties) {
    if (QString p = notANumber(section, v, i); !p.isEmpty()) problems << p;
  }
  if (problems.isEmpty()) return {};
  return QStringLiteral("文件中 %1，不是数字，无法与纤维比较。")
      .arg(problems.join(QStringLiteral("，")));
}

double numberOf(const Section& section, int property) {
  return std::get<double>(section.properties[static_cast<std::size_t>(property)]);
}

void compareWithSize(Lines& r, const Section& section, const ConcreteRegion& region,
                     const VersionDescription& v) {
  r.heading(QStringLiteral("与 B、H 比较（相差 = (区域 − 文件) / 文件）"));
  if (const QString problem = problemsOf(section, v, {v.widthProperty, v.heightProperty});
      !problem.isEmpty()) {
    r.note(problem);
    return;
  }
  if (region.empty()) {
    r.note(QStringLiteral("没有面积大于 0 的混凝土纤维，没有混凝土区域可比较。"));
    return;
  }
  const DimensionComparison c = compareWithDimensions(region, numberOf(section, v.widthProperty),
                                                      numberOf(section, v.heightProperty));
  const auto add = [&r](const QString& what, const std::optional<Difference>& d) {
    if (d) {
      r.row({what, QStringLiteral("文件 %1，区域 %2，相差 %3")
                       .arg(figureNumber(d->stated), figureNumber(d->measured),
                            relativeText(d->relative))});
    }
  };
  add(QStringLiteral("B 与区域宽度"), c.width);
  add(QStringLiteral("H 与区域高度"), c.height);
  add(QStringLiteral("B × H 与区域面积"), c.area);
  if (!c.area) {
    r.note(
        QStringLiteral("混凝土区域不是矩形，B × H 是它外接矩形的面积而不是截面的面积，"
                       "所以不与区域面积比较。"));
  }
}

void compareWithStiffness(Lines& r, const Section& section, const SectionSummary& summary,
                          const VersionDescription& v) {
  r.heading(QStringLiteral("文件中的刚度与它们隐含的弹性模量"));
  if (const QString problem = problemsOf(
          section, v, {v.axialStiffnessProperty, v.stiffnessXXProperty, v.stiffnessYYProperty});
      !problem.isEmpty()) {
    r.note(problem);
    return;
  }
  const double ea = numberOf(section, v.axialStiffnessProperty);
  const double eixx = numberOf(section, v.stiffnessXXProperty);
  const double eiyy = numberOf(section, v.stiffnessYYProperty);
  const StiffnessComparison c = compareWithStiffnesses(summary, ea, eixx, eiyy);
  const QString axes = c.axes == StiffnessAxes::Origin     ? QStringLiteral("坐标原点")
                       : c.axes == StiffnessAxes::Centroid ? QStringLiteral("混凝土形心")
                                                           : QStringLiteral("原点（即混凝土形心）");
  r.row({QStringLiteral("刚度所取的轴"), QStringLiteral("过%1，平行于 x、y").arg(axes)});
  const auto modulus = [&r](const char* stiffness, double stated, const char* figure,
                            const std::optional<double>& measured,
                            const std::optional<double>& ratio) {
    r.row({QString::fromUtf8(stiffness), figureNumber(stated)});
    r.row({QStringLiteral("混凝土的 %1").arg(QString::fromUtf8(figure)), optionalNumber(measured)});
    r.row({QStringLiteral("%1 / %2").arg(QString::fromUtf8(stiffness), QString::fromUtf8(figure)),
           optionalNumber(ratio)});
  };
  const auto name = [&v](int property) {
    return v.propertyNames[static_cast<std::size_t>(property)];
  };
  modulus(name(v.axialStiffnessProperty), ea, "ΣAc", summary.concrete.area, c.fromArea);
  modulus(name(v.stiffnessXXProperty), eixx, "Ixx", c.ixx, c.fromIxx);
  modulus(name(v.stiffnessYYProperty), eiyy, "Iyy", c.iyy, c.fromIyy);
  r.note(
      QStringLiteral("文件正确时三个模量大致相同，即混凝土的弹性模量；钢筋的贡献使它们略大。"
                     "文件不给出钢筋的模量，所以钢筋的那部分无法从刚度中分出来单独比较；"
                     "新版本文件也没有 B、H，截面尺寸无从比较。"));
}

}  // namespace

QString emptyExplorerText() {
  return QStringLiteral("尚未绘制截面。在主窗口选择一节并按“绘图”，这里就显示同一节。");
}

QString sectionHeading(const SectionStore& store, int number) {
  const Section* section = store.section(number);
  if (section == nullptr) return emptyExplorerText();
  QString heading = QStringLiteral("第 %1 节").arg(number);
  if (store.titled && !section->title.empty()) {
    heading += QLatin1Char(' ') + QString::fromStdString(section->title);
  }
  const VersionDescription& v = describe(store.version);
  QStringList properties;
  for (const int i : v.shownOrder) {
    const auto index = static_cast<std::size_t>(i);
    properties << QStringLiteral("%1 = %2").arg(
        QLatin1String(v.propertyNames[index]),
        QString::fromStdString(propertyText(section->properties[index])));
  }
  return heading + QStringLiteral("　　%1：%2")
                       .arg(QString::fromUtf8(v.name), properties.join(QStringLiteral("，")));
}

std::vector<SummaryLine> summaryLines(const SectionStore& store, const Section& section,
                                      const ConcreteRegion& region) {
  const SectionSummary s = summarizeSection(section);
  Lines r;
  r.heading(QStringLiteral("纤维"));
  r.row({QStringLiteral("混凝土纤维"), QStringLiteral("%1 根").arg(s.concrete.count)});
  r.row({QStringLiteral("钢筋纤维"), QStringLiteral("%1 根").arg(s.steel.count)});
  if (s.concrete.leftOut + s.steel.leftOut > 0) {
    r.note(QStringLiteral(
               "有 %1 根混凝土纤维、%2 根钢筋纤维的坐标或面积无效，未计入以下各量（见“检查”）。")
               .arg(s.concrete.leftOut)
               .arg(s.steel.leftOut));
  }

  r.heading(QStringLiteral("面积"));
  r.row({QStringLiteral("ΣAc（混凝土）"), figureNumber(s.concrete.area)});
  r.row({QStringLiteral("ΣAs（钢筋）"), figureNumber(s.steel.area)});
  r.row({QStringLiteral("配筋率 ΣAs / ΣAc"),
         s.reinforcementRatio ? figureNumber(*s.reinforcementRatio * 100.0) + QStringLiteral(" %")
                              : QStringLiteral("—（ΣAc 为 0）")});

  r.heading(QStringLiteral("形心（按面积加权）"));
  r.row({QStringLiteral("混凝土"), pointText(s.concrete.centroid, s.extent)});
  r.row({QStringLiteral("钢筋"), pointText(s.steel.centroid, s.extent)});
  r.row({QStringLiteral("全部纤维"), pointText(s.centroid, s.extent)});

  r.heading(QStringLiteral("惯性矩（绕各自的形心）"));
  for (const auto* k : {&s.concrete, &s.steel}) {
    const QString kind = fiberKindName(k == &s.concrete ? FiberKind::Concrete : FiberKind::Steel);
    r.row({kind + QStringLiteral(" Ixx"), optionalNumber(k->ixx)});
    r.row({kind + QStringLiteral(" Iyy"), optionalNumber(k->iyy)});
  }

  r.heading(QStringLiteral("范围"));
  r.extent(QStringLiteral("全部纤维中心"), s.extent);

  r.heading(QStringLiteral("混凝土区域"));
  if (!region.failure().empty()) {
    r.note(regionFailureText(region.failure()));
  } else if (region.empty()) {
    r.note(QStringLiteral("没有面积大于 0 的混凝土纤维，没有混凝土区域。"));
  } else {
    r.row({QStringLiteral("面积"), figureNumber(region.area())});
    r.extent(QStringLiteral("范围"), region.extent());
    r.row({QStringLiteral("形状"),
           region.isRectangle() ? QStringLiteral("矩形") : QStringLiteral("不是矩形")});
    r.note(
        QStringLiteral("每根混凝土纤维代表网格中的一格：内部的格由相邻纤维分界，边缘的格按纤维"
                       "面积向外延伸。图中的青色细线是区域的轮廓，“钢筋在混凝土范围之外”的"
                       "检查以它为准。"));
  }

  const VersionDescription& version = describe(store.version);
  if (version.givesSize()) {
    compareWithSize(r, section, region, version);
  } else if (version.givesStiffness()) {
    compareWithStiffness(r, section, s, version);
  }
  return r.take();
}

QString findingText(const Finding& f) {
  switch (f.kind) {
    case CheckKind::NotFinite:
      return QStringLiteral("第 %1 根%2的第 %3 个值不是有限的数")
          .arg(QString::number(f.fiber), fiberName(f.fiberKind), QString::number(f.value));
    case CheckKind::NegativeArea:
      return QStringLiteral("第 %1 根%2的面积为负数")
          .arg(QString::number(f.fiber), fiberName(f.fiberKind));
    case CheckKind::ZeroArea:
      return QStringLiteral("第 %1 根%2面积为 0")
          .arg(QString::number(f.fiber), fiberName(f.fiberKind));
    case CheckKind::Coincident:
      return QStringLiteral("第 %1 根与第 %2 根%3重合")
          .arg(QString::number(f.otherFiber), QString::number(f.fiber), fiberName(f.fiberKind));
    case CheckKind::SteelOutsideConcrete:
      return QStringLiteral("第 %1 根钢筋在混凝土范围之外").arg(f.fiber);
  }
  return {};
}

QString regionFailureText(const std::string& reason) {
  return QStringLiteral("混凝土区域无法构成：") + QString::fromStdString(reason);
}

QString noFindingsText() {
  return QStringLiteral("未发现问题");
}

}  // namespace fiberview
