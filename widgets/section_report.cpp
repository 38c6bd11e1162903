#include "widgets/section_report.h"

#include <QStringList>
#include <cmath>

#include "plot/number_format.h"
#include "widgets/fiber_text.h"

namespace fiberview {

namespace {

QString fiberName(FiberKind kind) {
  return fiberKindName(kind) + QStringLiteral("纤维");
}

QString optionalNumber(const std::optional<double>& value) {
  return value ? shortNumber(*value) : QStringLiteral("—");
}

// A centroid to the precision its sums allow: rounding leaves noise such as -5.8e-15 where
// a symmetric section has 0, so a coordinate a billionth of the section's size from 0 is 0.
QString pointText(const std::optional<Point>& p, const std::optional<Extent>& extent) {
  if (!p) return QStringLiteral("—（面积为 0）");
  const double size = extent ? extent->width() + extent->height() : 0.0;
  const auto coordinate = [size](double v) {
    return shortNumber(std::abs(v) < 1e-9 * size ? 0.0 : v);
  };
  return QStringLiteral("x = %1，y = %2").arg(coordinate(p->x), coordinate(p->y));
}

// (measured − stated) / |stated| as a signed percentage with one decimal.
QString relativeText(const std::optional<double>& relative) {
  if (!relative) return QStringLiteral("无法计算");
  const double percent = *relative * 100.0;
  // A fixed decimal would write hundreds of digits for a wildly wrong figure.
  QString text = std::abs(percent) < 1e4 ? QString::number(percent, 'f', 1) : shortNumber(percent);
  if (text == QLatin1String("-0.0")) text = QStringLiteral("0.0");
  if (percent > 0.0 && text != QLatin1String("0.0")) text.prepend(QLatin1Char('+'));
  return text + QStringLiteral(" %");
}

// Rich text built row by row; every cell is escaped, since titles and text properties come
// from the file.
class Report {
 public:
  void heading(const QString& text) {
    closeTable();
    html_ += QStringLiteral("<h4>%1</h4>").arg(text.toHtmlEscaped());
  }
  void row(const QStringList& cells, bool header = false) {
    if (!inTable_) {
      html_ += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\">");
      inTable_ = true;
    }
    const QString tag = header ? QStringLiteral("th") : QStringLiteral("td");
    html_ += QStringLiteral("<tr>");
    for (const QString& c : cells) {
      html_ += QStringLiteral("<%1 align=\"left\" style=\"padding-right: 12px\">%2</%1>")
                   .arg(tag, c.toHtmlEscaped());
    }
    html_ += QStringLiteral("</tr>");
  }
  void note(const QString& text) {
    closeTable();
    html_ += QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped());
  }
  QString finish() {
    closeTable();
    return html_;
  }

 private:
  void closeTable() {
    if (inTable_) html_ += QStringLiteral("</table>");
    inTable_ = false;
  }

  QString html_;
  bool inTable_ = false;
};

// The width and the height a version gives, or a sentence saying why there is no number
// to compare.
QString dimensionProblem(const Section& section, const VersionDescription& v) {
  QStringList problems;
  for (const auto i :
       {static_cast<std::size_t>(v.widthProperty), static_cast<std::size_t>(v.heightProperty)}) {
    const Value& value = section.properties[i];
    if (const auto* text = std::get_if<std::string>(&value)) {
      problems << QStringLiteral("%1 是文字“%2”")
                      .arg(QLatin1String(v.propertyNames[i]), QString::fromStdString(*text));
    } else if (std::holds_alternative<std::monostate>(value)) {
      problems << QStringLiteral("%1 为空").arg(QLatin1String(v.propertyNames[i]));
    }
  }
  if (problems.isEmpty()) return {};
  return QStringLiteral("文件中 %1，不是数字，无法与纤维比较。")
      .arg(problems.join(QStringLiteral("，")));
}

void compareWithSize(Report& r, const Section& section, const SectionSummary& summary,
                     const VersionDescription& v) {
  r.heading(QStringLiteral("与 B、H 比较（相差 = (纤维 − 文件) / 文件）"));
  if (const QString problem = dimensionProblem(section, v); !problem.isEmpty()) {
    r.note(problem);
    return;
  }
  const double b = std::get<double>(section.properties[static_cast<std::size_t>(v.widthProperty)]);
  const double h = std::get<double>(section.properties[static_cast<std::size_t>(v.heightProperty)]);
  const DimensionComparison c = compareWithDimensions(summary, b, h);
  r.row({QStringLiteral("比较"), QStringLiteral("文件"), QStringLiteral("纤维"),
         QStringLiteral("相差")},
        true);
  const auto add = [&r](const QString& what, const std::optional<Difference>& d) {
    if (d)
      r.row({what, shortNumber(d->stated), shortNumber(d->measured), relativeText(d->relative)});
  };
  add(QStringLiteral("B × H 与 ΣAc"), c.area);
  add(QStringLiteral("B 与混凝土纤维中心的宽度"), c.width);
  add(QStringLiteral("B 与混凝土外轮廓的宽度"), c.outerWidth);
  add(QStringLiteral("H 与混凝土纤维中心的高度"), c.height);
  add(QStringLiteral("H 与混凝土外轮廓的高度"), c.outerHeight);
  if (!c.width) r.note(QStringLiteral("没有可计入的混凝土纤维，无法比较宽度和高度。"));
}

void setBesideStiffnesses(Report& r, const Section& section, const SectionSummary& summary,
                          const VersionDescription& v) {
  r.heading(QStringLiteral("文件中的刚度与混凝土的几何量"));
  r.row({QStringLiteral("文件"), QString(), QStringLiteral("几何量"), QString()}, true);
  const QString geometric[] = {QStringLiteral("ΣAc"), QStringLiteral("Ixx"), QStringLiteral("Iyy")};
  const std::optional<double> values[] = {summary.concrete.area, summary.concrete.ixx,
                                          summary.concrete.iyy};
  const int roles[] = {v.axialStiffnessProperty, v.stiffnessXXProperty, v.stiffnessYYProperty};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto p = static_cast<std::size_t>(roles[i]);
    r.row({QLatin1String(v.propertyNames[p]),
           QString::fromStdString(propertyText(section.properties[p])), geometric[i],
           optionalNumber(values[i])});
  }
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

QString summaryHtml(const SectionStore& store, const Section& section) {
  const SectionSummary s = summarizeSection(section);
  Report r;
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
  r.row({QStringLiteral("ΣAc（混凝土）"), shortNumber(s.concrete.area)});
  r.row({QStringLiteral("ΣAs（钢筋）"), shortNumber(s.steel.area)});
  r.row({QStringLiteral("配筋率 ΣAs / ΣAc"),
         s.reinforcementRatio ? shortNumber(*s.reinforcementRatio * 100.0) + QStringLiteral(" %")
                              : QStringLiteral("—（ΣAc 为 0）")});

  r.heading(QStringLiteral("形心（按面积加权）"));
  r.row({QStringLiteral("混凝土"), pointText(s.concrete.centroid, s.extent)});
  r.row({QStringLiteral("钢筋"), pointText(s.steel.centroid, s.extent)});
  r.row({QStringLiteral("全部纤维"), pointText(s.centroid, s.extent)});

  r.heading(QStringLiteral("惯性矩（绕各自的形心）"));
  for (const auto* k : {&s.concrete, &s.steel}) {
    r.row({fiberKindName(k == &s.concrete ? FiberKind::Concrete : FiberKind::Steel),
           QStringLiteral("Ixx = %1").arg(optionalNumber(k->ixx)),
           QStringLiteral("Iyy = %1").arg(optionalNumber(k->iyy))});
  }

  r.heading(QStringLiteral("范围"));
  const auto extent = [&r](const QString& what, const std::optional<Extent>& e) {
    if (!e) {
      r.row({what, QStringLiteral("—")});
      return;
    }
    r.row({what, QStringLiteral("x：%1 … %2").arg(shortNumber(e->xmin), shortNumber(e->xmax)),
           QStringLiteral("宽 %1").arg(shortNumber(e->width()))});
    r.row({QString(), QStringLiteral("y：%1 … %2").arg(shortNumber(e->ymin), shortNumber(e->ymax)),
           QStringLiteral("高 %1").arg(shortNumber(e->height()))});
  };
  extent(QStringLiteral("全部纤维中心"), s.extent);
  extent(QStringLiteral("混凝土外轮廓"), s.concrete.outerExtent);
  r.note(QStringLiteral("外轮廓把每根混凝土纤维看作面积相同的正方形。"));

  const VersionDescription& version = describe(store.version);
  if (version.givesSize()) {
    compareWithSize(r, section, s, version);
  } else if (version.givesStiffness()) {
    setBesideStiffnesses(r, section, s, version);
  }
  return r.finish();
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

QString noFindingsText() {
  return QStringLiteral("未发现问题");
}

}  // namespace fiberview
