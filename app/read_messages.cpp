#include "app/read_messages.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cmath>

#include "data/file_version.h"
#include "plot/number_format.h"
#include "widgets/fiber_text.h"

namespace fiberview {

namespace {

// A number in a sentence: "4" rather than the list form " 4", whose leading space reads
// oddly there.
QString inlineNumber(double value) {
  return QString::fromStdString(numberText(value)).trimmed();
}

QString n(long long value) {
  return QString::number(value);
}

// The fiber counts and options a file was read with, in a sentence.
QString settingsText(const ReadOptions& used) {
  QString text = QStringLiteral("混凝土 %1 根，钢筋 %2 根")
                     .arg(n(used.concreteCount), inlineNumber(used.steelCount));
  if (describe(used.version).readsWithoutTitles()) {
    text += used.hasTitleLine ? QStringLiteral("，“有说明行”") : QStringLiteral("，“无说明行”");
  }
  return text + QStringLiteral("，") + QString::fromUtf8(describe(used.version).name);
}

QString propertyName(const ReadOptions& used, int value) {
  if (value < 1 || value > 3) return {};
  return QString::fromLatin1(
      describe(used.version).propertyNames[static_cast<std::size_t>(value - 1)]);
}

QString fieldDescription(const ReadError& e, const ReadOptions& used) {
  switch (e.role) {
    case FieldRole::SectionCount:
      return QStringLiteral("读取节数（文件的第一个数）时");
    case FieldRole::Title:
      return QStringLiteral("读取第 %1 节的说明行时").arg(e.section);
    case FieldRole::Property:
      return QStringLiteral("读取第 %1 节的第 %2 个截面特性（%3）时")
          .arg(n(e.section), n(e.value), propertyName(used, e.value));
    case FieldRole::ConcreteValue:
      return QStringLiteral("读取第 %1 节第 %2 根混凝土纤维的第 %3 个值时")
          .arg(n(e.section), n(e.fiber), n(e.value));
    case FieldRole::SteelValue:
      return QStringLiteral("读取第 %1 节第 %2 根钢筋纤维的第 %3 个值时")
          .arg(n(e.section), n(e.fiber), n(e.value));
    case FieldRole::None:
      break;
  }
  return {};
}

// A size in memory, the way a person reads it: MB below a thousand of them, GB above.
QString megabytes(std::uint64_t bytes) {
  const double mb = static_cast<double>(bytes) / 1e6;
  if (mb >= 1000.0) return QStringLiteral("%1 GB").arg(mb / 1000.0, 0, 'f', 1);
  return QStringLiteral("%1 MB").arg(std::max(mb, 1.0), 0, 'f', 0);
}

QString whatWentWrong(const ReadError& e) {
  const QString found = QString::fromStdString(e.found);
  switch (e.kind) {
    case ReadFailure::EndOfFile:
      return QStringLiteral("文件已经结束，还缺少数据。");
    case ReadFailure::EndInsideQuotes:
      return QStringLiteral("以引号开头的说明行没有配对的引号，文件就结束了。");
    case ReadFailure::NotANumber:
      return QStringLiteral("应为数字，实际为“%1”。").arg(found);
    case ReadFailure::OutOfRange:
      if (e.role == FieldRole::SectionCount) {
        return QStringLiteral("节数“%1”超出 0 到 32767 的范围。").arg(found);
      }
      return QStringLiteral("数值“%1”超出可表示的范围。").arg(found);
    case ReadFailure::TooLong:
      return QStringLiteral("这一项过长，不像纤维数据（开头是“%1…”）。").arg(found);
    case ReadFailure::NegativeSectionCount:
      return QStringLiteral("节数为 %1，不能为负数。").arg(found);
    case ReadFailure::MemoryBudget:
      return QStringLiteral(
                 "读入这些截面约需 %1 内存，超过了本机可供读取的约 %2。"
                 "请关闭其他程序后再试，并检查混凝土和钢筋数量是否与文件相符。")
          .arg(megabytes(e.memoryNeeded), megabytes(e.memoryBudget));
    case ReadFailure::File:
      return QStringLiteral("读取文件时出错：%1。").arg(systemReason(e.file.systemError));
    case ReadFailure::Utf16:
      return QStringLiteral(
          "文件是 UTF-16 编码，本程序只读取 UTF-8 或 GBK 编码的文本文件。"
          "请把文件另存为 UTF-8 或 GBK 编码后再读取。");
    case ReadFailure::None:
    case ReadFailure::TooManyFibers:
    case ReadFailure::Cancelled:
      break;
  }
  return {};
}

// A misplaced field usually means the counts typed in the window do not match the file.
bool mayBeCountMismatch(const ReadError& e) {
  if (e.role == FieldRole::None || e.role == FieldRole::SectionCount) return false;
  return e.kind == ReadFailure::EndOfFile || e.kind == ReadFailure::NotANumber ||
         e.kind == ReadFailure::EndInsideQuotes;
}

}  // namespace

QString systemReason(int error) {
  switch (error) {
    case ENOENT:
      return QStringLiteral("文件不存在");
    case EACCES:
    case EPERM:
      return QStringLiteral("没有读取这个文件的权限");
    case EISDIR:
      return QStringLiteral("选中的是文件夹，不是文件");
    case ENOTDIR:
      return QStringLiteral("路径中有一部分不是文件夹");
    case EIO:
      return QStringLiteral("输入输出错误，磁盘或设备可能有故障");
    case ENAMETOOLONG:
      return QStringLiteral("文件名过长");
    case ELOOP:
      return QStringLiteral("符号链接层次过多");
    case EMFILE:
    case ENFILE:
      return QStringLiteral("打开的文件过多");
    case ENOMEM:
      return QStringLiteral("内存不足");
    case EINVAL:
      return QStringLiteral("系统不接受对它的读取（参数无效）");
    case ENXIO:
    case ENODEV:
      return QStringLiteral("没有这个设备");
    case EBUSY:
    case EAGAIN:
      return QStringLiteral("设备或资源正忙，请稍后再试");
    case EFBIG:
    case EOVERFLOW:
      return QStringLiteral("文件过大");
    case ESTALE:
      return QStringLiteral("网络文件已失效，请重新打开所在的文件夹");
    default:
      // The system's own text is English where no Chinese locale is installed.
      return QStringLiteral("系统错误 %1").arg(n(error));
  }
}

QString readFailureMessage(const ReadError& e, const QString& path, const ReadOptions& used) {
  const QString file = QDir::toNativeSeparators(path);
  if (e.kind == ReadFailure::File && e.file.kind == FileFailure::CannotOpen) {
    return QStringLiteral("无法打开文件“%1”：%2。").arg(file, systemReason(e.file.systemError));
  }
  if (e.kind == ReadFailure::File && e.file.kind == FileFailure::NotAFile) {
    return QStringLiteral("“%1”不是普通文件（可能是设备或管道），无法读取。").arg(file);
  }
  if (e.kind == ReadFailure::TooManyFibers) {
    return QStringLiteral("每节的纤维数量最多为 %1 根，请减小混凝土或钢筋数量。").arg(e.limit);
  }
  QString text = QStringLiteral("无法读取文件“%1”。\n第 %2 行，第 %3 列：")
                     .arg(file, n(e.where.line), n(e.where.column));
  if (const QString field = fieldDescription(e, used); !field.isEmpty()) {
    text += field + QStringLiteral("，");
  }
  text += whatWentWrong(e);
  if (mayBeCountMismatch(e)) {
    text += QStringLiteral("\n请检查读取设置（%1）是否与文件相符。").arg(settingsText(used));
  }
  return text;
}

QString countFailureMessage(CountProblem problem, const QString& typed) {
  switch (problem) {
    case CountProblem::ConcreteBeyond16Bits:
      return QStringLiteral("混凝土数量“%1”超出范围：必须是 0 到 %2 之间的整数。")
          .arg(typed, n(kMaxFibers));
    case CountProblem::TooManySteel:
      return QStringLiteral("钢筋数量“%1”超出范围：必须是 0 到 %2 之间的数。")
          .arg(typed, n(kMaxFibers));
  }
  return {};
}

namespace {

// Infinity or NaN, said in words.
QString nonFiniteText(double value) {
  if (std::isnan(value)) return QStringLiteral("非数");
  return value < 0 ? QStringLiteral("负无穷大") : QStringLiteral("无穷大");
}

}  // namespace

QString leftoverWarning(const QString& path, const TextPosition& where) {
  return QStringLiteral(
             "文件“%1”已读取，但最后一节之后还有数据（从第 %2 行第 %3 列起），"
             "这些数据没有读取。纤维数量、说明行或版本可能与文件不符。")
      .arg(QDir::toNativeSeparators(path), n(where.line), n(where.column));
}

QString plotFailureMessage(const PlotError& e, bool listHasSections, const ReadOptions& used) {
  const QString kind = fiberKindName(e.fiberKind);
  // Such values are what a file read with the wrong counts or version shows: every field
  // after the first wrong one lands in the wrong place.
  const QString shifted =
      QStringLiteral(
          "\n这常常说明读取时的设置（%1）与文件不符，各数值错了位。请检查设置后重新读取。")
          .arg(settingsText(used));
  switch (e.kind) {
    case PlotFailure::NothingSelected:
      if (listHasSections) {
        return QStringLiteral(
            "没有选中要绘制的节。列表里输入的文字不选择任何一节，请在列表中选择一节。");
      }
      return QStringLiteral("没有选中要绘制的节。请先读取文件，再在列表中选择一节。");
    case PlotFailure::NoSuchSection:
      return QStringLiteral("第 %1 节不存在。").arg(e.section);
    case PlotFailure::NegativeArea:
      return QStringLiteral("第 %1 节第 %2 根%3纤维的面积为 %4，面积不能为负数，无法绘图。")
                 .arg(n(e.section), n(e.fiber), kind, inlineNumber(e.value)) +
             shifted;
    case PlotFailure::NotFinite:
      return QStringLiteral("第 %1 节第 %2 根%3纤维的坐标或面积不是有限的数（%4），无法绘图。")
                 .arg(n(e.section), n(e.fiber), kind, nonFiniteText(e.value)) +
             shifted;
    case PlotFailure::TooLarge:
      return QStringLiteral("第 %1 节的坐标或面积过大或过小，无法按比例绘图。").arg(e.section) +
             shifted;
  }
  return {};
}

namespace {

QString versionName(FileVersion v) {
  return QString::fromUtf8(describe(v).name);
}

QString property(FileVersion v, int index) {
  return QString::fromLatin1(describe(v).propertyNames[static_cast<std::size_t>(index)]);
}

// Why the properties tell `v`, by the roles its table entry gives them.
QString rolesText(FileVersion v) {
  const VersionDescription& d = describe(v);
  if (d.givesSize()) {
    return QStringLiteral("%1、%2 与纤维的高、宽相符")
        .arg(property(v, d.heightProperty), property(v, d.widthProperty));
  }
  return QStringLiteral("%1/%3、%2/%3 与纤维的 Ixx/A、Iyy/A 相符")
      .arg(property(v, d.stiffnessXXProperty), property(v, d.stiffnessYYProperty),
           property(v, d.axialStiffnessProperty));
}

QString versionText(const VersionFinding& f) {
  switch (f.sign) {
    case VersionSign::NoTitles:
      return QStringLiteral("没有说明行，只有%1这样写").arg(versionName(*f.version));
    case VersionSign::Properties:
      return QStringLiteral("各节的截面特性%1，是%2")
          .arg(rolesText(*f.version), versionName(*f.version));
    case VersionSign::NoEvidence:
      return QStringLiteral("截面特性既不像截面尺寸，也不像刚度，看不出版本");
    case VersionSign::Mixed:
      return QStringLiteral("有的节像一个版本，第 %1 节却像另一个版本，看不出版本")
          .arg(f.otherSection);
  }
  return {};
}

QString layoutName(const Layout& l) {
  return QStringLiteral("%1、混凝土 %2 根、钢筋 %3 根")
      .arg(l.titled ? QStringLiteral("有说明行") : QStringLiteral("无说明行"), n(l.concrete),
           n(l.steel));
}

bool titledAsUsed(const ReadOptions& o) {
  return o.titled();
}

bool differs(const ReadOptions& a, const ReadOptions& b) {
  return a.version != b.version || titledAsUsed(a) != titledAsUsed(b) ||
         a.concreteCount != b.concreteCount ||
         steelFibersToRead(a.steelCount) != steelFibersToRead(b.steelCount);
}

// The settings a confident layout offers: one per version it leaves possible.
std::vector<ReadOptions> proposals(const DetectedLayout& found, const ReadOptions& used) {
  if (!found.confident) return {};
  ReadOptions p = used;
  p.hasTitleLine = *found.hasTitleLine;
  p.concreteCount = static_cast<std::int16_t>(*found.concreteCount);
  if (*found.steelCount != steelFibersToRead(used.steelCount)) p.steelCount = *found.steelCount;
  std::vector<ReadOptions> out;
  for (const VersionDescription& v : kFileVersions) {
    if (found.version ? *found.version != v.version
                      : !(*found.hasTitleLine || v.readsWithoutTitles())) {
      continue;
    }
    p.version = v.version;
    out.push_back(p);
  }
  // An unknown version is worth a choice only where something else differs.
  const bool anyDiffers =
      std::any_of(out.begin(), out.end(), [&](const ReadOptions& o) { return differs(o, used); });
  if (!anyDiffers) return {};
  return out;
}

QStringList differences(const ReadOptions& proposal, const ReadOptions& used, bool withVersion) {
  QStringList d;
  if (withVersion && proposal.version != used.version) {
    d << QStringLiteral("应为%1，而不是%2")
             .arg(versionName(proposal.version), versionName(used.version));
  }
  // Only a version that reads without title lines has the option worth a word.
  if (describe(proposal.version).readsWithoutTitles() &&
      titledAsUsed(proposal) != titledAsUsed(used)) {
    d << (titledAsUsed(proposal) ? QStringLiteral("每节应有说明行")
                                 : QStringLiteral("每节应没有说明行"));
  }
  if (proposal.concreteCount != used.concreteCount) {
    d << QStringLiteral("混凝土纤维应为每节 %1 根，而不是 %2 根")
             .arg(n(proposal.concreteCount), n(used.concreteCount));
  }
  if (steelFibersToRead(proposal.steelCount) != steelFibersToRead(used.steelCount)) {
    d << QStringLiteral("钢筋纤维应为每节 %1 根，而不是 %2 根")
             .arg(inlineNumber(proposal.steelCount), inlineNumber(used.steelCount));
  }
  return d;
}

QString offerQuestion(const std::vector<ReadOptions>& choices, const ReadOptions& used,
                      const DetectedLayout& found) {
  const bool oneVersion = choices.size() == 1;
  QStringList d = differences(choices.front(), used, oneVersion);
  if (!oneVersion) d << QStringLiteral("看不出是哪个版本");
  QString text = QStringLiteral("按文件的数值，读取设置与文件不符：%1。\n（依据：%2）\n\n")
                     .arg(d.join(QStringLiteral("；")), layoutText(found));
  if (oneVersion) {
    return text + QStringLiteral("是否按“%1”重新读取这个文件？").arg(settingsText(choices.front()));
  }
  return text + QStringLiteral("请选择按哪个版本重新读取这个文件。");
}

QString fiberPlace(const ValueFinding& f) {
  return QStringLiteral("第 %1 节第 %2 根%3纤维")
      .arg(n(f.section), n(f.fiber), fiberKindName(f.kind));
}

QString propertyPlace(const ValueFinding& f, const ReadOptions& used) {
  return QStringLiteral("第 %1 节的第 %2 个截面特性（%3）")
      .arg(n(f.section), n(f.value), propertyName(used, f.value));
}

QString valueProblemText(const ValueFinding& f, const ReadOptions& used) {
  switch (f.problem) {
    case ValueProblem::NotFinite:
      if (f.fiber == 0) return propertyPlace(f, used) + QStringLiteral("不是有限的数");
      return fiberPlace(f) + QStringLiteral("的第 %1 个值不是有限的数").arg(f.value);
    case ValueProblem::AreaNotPositive:
      return fiberPlace(f) + QStringLiteral("的面积为 %1，面积应为正数").arg(inlineNumber(f.found));
    case ValueProblem::KindBroken:
      if (f.typical > 0) {
        return QStringLiteral(
                   "%1纤维的第 %2 个值在多数纤维中约为 %3，%4却是 %5，相差一个数量级以上")
            .arg(fiberKindName(f.kind), n(f.value), inlineNumber(f.typical), fiberPlace(f),
                 inlineNumber(f.found));
      }
      return QStringLiteral("%1纤维的第 %2 个值在多数纤维中是%3，%4却是 %5")
          .arg(fiberKindName(f.kind), n(f.value),
               f.found < 0 ? QStringLiteral("正数") : QStringLiteral("负数"), fiberPlace(f),
               inlineNumber(f.found));
    case ValueProblem::OutsideSection:
      if (f.fiber == 0) {
        return QStringLiteral("第 %1 节混凝土纤维的面积之和 %2 与纤维所占的范围不相称")
            .arg(n(f.section), inlineNumber(f.found));
      }
      return fiberPlace(f) + QStringLiteral("在混凝土纤维所占的范围之外");
    case ValueProblem::KindDiffers:
      return propertyPlace(f, used) +
             QStringLiteral("与第 1 节的不同类（一个是数，另一个是文字或空）");
    case ValueProblem::BeginsMidLine:
      return QStringLiteral("第 %1 节的纤维每行一根，其第 %2 根%3纤维却从一行的中间开始")
          .arg(n(f.section), n(f.fiber), fiberKindName(f.kind));
    case ValueProblem::VersionMisfit:
      return QStringLiteral("从第 %1 节起，截面特性%2，像%3，而不是%4")
          .arg(n(f.section), rolesText(f.fits), versionName(f.fits), versionName(used.version));
  }
  return {};
}

}  // namespace

QString valueWarning(const ValueFinding& finding, const QString& path, const ReadOptions& used) {
  return QStringLiteral(
             "文件“%1”已读取，但读出的数值不像纤维数据：%2。\n读取设置（%3）可能与文件不符。")
      .arg(QDir::toNativeSeparators(path), valueProblemText(finding, used), settingsText(used));
}

QString layoutText(const DetectedLayout& found) {
  if (!found.hasTitleLine || !found.concreteCount || !found.steelCount) return {};
  const int perSection = 3 + 8 * *found.concreteCount + 5 * *found.steelCount;
  QString text =
      QStringLiteral("%1 节，每节%2 %3 个数：3 个截面特性、%4 根混凝土纤维、%5 根钢筋纤维")
          .arg(n(found.sections), *found.hasTitleLine ? QStringLiteral("一行说明和") : QString(),
               n(perSection), n(*found.concreteCount), n(*found.steelCount));
  if (found.implausible > 0) {
    text += QStringLiteral(
                "；另有 %1 种混凝土、钢筋数量也能把数值分成等长的节，但那样读出的数值不像纤维")
                .arg(found.implausible);
  }
  text += QStringLiteral("；") + versionText(found.versionFinding);
  if (found.leftoverLine) {
    text += QStringLiteral("；第 %1 行起是最后一节之后的数据").arg(n(*found.leftoverLine));
  }
  return text;
}

ReadPlan planRead(const ReadResult& result, const QString& path, const ReadOptions& used,
                  const std::optional<ValueFinding>& values, const DetectedLayout* layout,
                  bool mayOffer) {
  ReadPlan plan;
  QStringList parts;
  if (const auto* error = std::get_if<ReadError>(&result)) {
    parts << readFailureMessage(*error, path, used);
  } else {
    plan.takeStore = true;
    const SectionStore& store = std::get<SectionStore>(result);
    if (store.leftoverAt) parts << leftoverWarning(path, *store.leftoverAt);
    if (values) parts << valueWarning(*values, path, used);
  }
  const bool looked = readNeedsLayout(result, values) && layout != nullptr;
  if (looked) plan.choices = proposals(*layout, used);
  if (looked && layout->problem == LayoutProblem::SeveralFit) {
    QStringList names;
    for (const Layout& l : layout->plausible) names << layoutName(l);
    parts << QStringLiteral(
                 "文件的数值有 %1 种分法都说得通（%2），无法判断哪一种对，请核对读取设置。")
                 .arg(n(static_cast<long long>(layout->plausible.size())),
                      names.join(QStringLiteral("；")));
  }
  if (!plan.choices.empty() && parts.isEmpty()) {
    parts << QStringLiteral("文件“%1”已读取，但它的排列与读取设置不符。")
                 .arg(QDir::toNativeSeparators(path));
  }
  plan.message = parts.join(QStringLiteral("\n"));
  if (!mayOffer) plan.choices.clear();
  if (!plan.choices.empty()) {
    plan.question = offerQuestion(plan.choices, used, *layout);
    for (const ReadOptions& o : plan.choices) plan.labels << settingsText(o);
  }
  return plan;
}

ReadPlan versionChoice(const DetectedLayout& found, const QString& path,
                       const ReadOptions& detected) {
  ReadPlan plan;
  if (found.version || !found.hasTitleLine || !*found.hasTitleLine || !found.concreteCount ||
      !found.steelCount) {
    return plan;
  }
  for (const VersionDescription& v : kFileVersions) {
    ReadOptions o = detected;
    o.version = v.version;
    plan.choices.push_back(o);
    plan.labels << settingsText(o);
  }
  plan.message = QStringLiteral("按文件“%1”的数值，看不出是哪个版本（依据：%2）。")
                     .arg(QDir::toNativeSeparators(path), layoutText(found));
  plan.question = QStringLiteral("请选择按哪个版本读取这个文件。");
  return plan;
}

}  // namespace fiberview
