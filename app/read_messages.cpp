#include "app/read_messages.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

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
  if (used.version == FileVersion::Old) {
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
        return QStringLiteral("节数“%1”超出 -32768 到 32767 的范围。").arg(found);
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
    case ReadFailure::ReadFailed:
      return QStringLiteral("读取文件时出错：%1。").arg(systemReason(e.systemError));
    case ReadFailure::Utf16:
      return QStringLiteral(
          "文件是 UTF-16 编码，本程序只读取 UTF-8 或 GBK 编码的文本文件。"
          "请把文件另存为 UTF-8 或 GBK 编码后再读取。");
    case ReadFailure::None:
    case ReadFailure::CannotOpen:
    case ReadFailure::NotAFile:
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
    default:
      return QStringLiteral("系统错误 %1（%2）")
          .arg(n(error), QString::fromLocal8Bit(std::strerror(error)));
  }
}

QString readFailureMessage(const ReadError& e, const QString& path, const ReadOptions& used) {
  const QString file = QDir::toNativeSeparators(path);
  if (e.kind == ReadFailure::CannotOpen) {
    return QStringLiteral("无法打开文件“%1”：%2。").arg(file, systemReason(e.systemError));
  }
  if (e.kind == ReadFailure::NotAFile) {
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

namespace {

bool titledAsUsed(const ReadOptions& o) {
  return o.titled();
}

}  // namespace

std::optional<ReadOptions> proposedSettings(const DetectedLayout& found, const ReadOptions& used) {
  ReadOptions p = used;
  if (found.version) p.version = *found.version;
  if (found.hasTitleLine) {
    // Only the old version reads without title lines.
    if (!*found.hasTitleLine) p.version = FileVersion::Old;
    if (p.version == FileVersion::Old) p.hasTitleLine = *found.hasTitleLine;
  }
  if (found.concreteCount) p.concreteCount = static_cast<std::int16_t>(*found.concreteCount);
  if (found.steelCount && *found.steelCount != steelFibersToRead(used.steelCount)) {
    p.steelCount = *found.steelCount;
  }
  const bool differs = p.version != used.version || titledAsUsed(p) != titledAsUsed(used) ||
                       p.concreteCount != used.concreteCount ||
                       steelFibersToRead(p.steelCount) != steelFibersToRead(used.steelCount);
  if (!differs) return std::nullopt;
  return p;
}

QString readAgainQuestion(const ReadOptions& proposal, const ReadOptions& used,
                          const DetectedLayout& found) {
  QStringList differences;
  if (proposal.version != used.version) {
    differences << QStringLiteral("应为%1，而不是%2")
                       .arg(QString::fromUtf8(describe(proposal.version).name),
                            QString::fromUtf8(describe(used.version).name));
  }
  // The new version always has title lines; only the old version's option is worth a word.
  if (proposal.version == FileVersion::Old && titledAsUsed(proposal) != titledAsUsed(used)) {
    differences << (titledAsUsed(proposal) ? QStringLiteral("每节应有说明行")
                                           : QStringLiteral("每节应没有说明行"));
  }
  if (proposal.concreteCount != used.concreteCount) {
    differences << QStringLiteral("混凝土纤维应为每节 %1 根，而不是 %2 根")
                       .arg(n(proposal.concreteCount), n(used.concreteCount));
  }
  if (steelFibersToRead(proposal.steelCount) != steelFibersToRead(used.steelCount)) {
    differences << QStringLiteral("钢筋纤维应为每节 %1 根，而不是 %2 根")
                       .arg(inlineNumber(proposal.steelCount), inlineNumber(used.steelCount));
  }
  return QStringLiteral(
             "按文件的排列，读取设置与文件不符：%1。\n（依据：%2）\n\n"
             "是否按“%3”重新读取这个文件？")
      .arg(differences.join(QStringLiteral("；")), QString::fromStdString(found.reason),
           settingsText(proposal));
}

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

}  // namespace fiberview
