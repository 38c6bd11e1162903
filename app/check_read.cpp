#include "app/check_read.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <optional>

#include "app/read_messages.h"
#include "data/layout_detection.h"
#include "data/section_file.h"
#include "document/file_document.h"
#include "plot/number_format.h"

namespace fiberview {

namespace {

bool complete(const GivenSettings& s) {
  return s.version && s.concrete && s.steel && (describe(*s.version).alwaysTitled || s.titled);
}

// The settings to read with; where one is missing, the window's first choice stands in.
ReadOptions optionsOf(const GivenSettings& s) {
  ReadOptions o;
  o.version = s.version.value_or(FileVersion::Old);
  o.hasTitleLine = s.titled.value_or(describe(o.version).alwaysTitled);
  o.concreteCount = static_cast<std::int16_t>(s.concrete.value_or(0));
  o.steelCount = s.steel.value_or(0.0);
  return o;
}

// The settings given, and those not given from what `found` shows. As in the window, a file
// without title lines is read with the version that reads such files.
GivenSettings merged(GivenSettings given, const DetectedLayout& found) {
  if (!given.titled) given.titled = found.hasTitleLine;
  if (!given.version) {
    given.version = given.titled == false ? std::optional(versionWithoutTitles()) : found.version;
  }
  if (!given.concrete) given.concrete = found.concreteCount;
  if (!given.steel && found.steelCount) given.steel = *found.steelCount;
  return given;
}

// Problems of the file as a whole, which a read states, with its line and column, whatever
// the settings; or, for a file of no sections, which any settings read.
bool settingsDoNotMatter(LayoutProblem problem) {
  switch (problem) {
    case LayoutProblem::File:
    case LayoutProblem::Utf16:
    case LayoutProblem::Empty:
    case LayoutProblem::CountNotANumber:
    case LayoutProblem::CountOutOfRange:
    case LayoutProblem::NegativeCount:
    case LayoutProblem::NoSections:
      return true;
    default:
      return false;
  }
}

QString layoutOptions(const Layout& l) {
  return QStringLiteral("%1 --concrete %2 --steel %3")
      .arg(l.titled ? QStringLiteral("--titles") : QStringLiteral("--no-titles"))
      .arg(l.concrete)
      .arg(l.steel);
}

// Why the settings missing from `settings` cannot be told, and what to give.
QString untoldMessage(const QString& path, const GivenSettings& settings,
                      const DetectedLayout& found) {
  QStringList missing;
  if (!settings.version) missing << QStringLiteral("版本（--old 或 --new）");
  if (!settings.titled && !(settings.version && describe(*settings.version).alwaysTitled)) {
    missing << QStringLiteral("有无说明行（--titles 或 --no-titles）");
  }
  if (!settings.concrete) missing << QStringLiteral("混凝土纤维数（--concrete）");
  if (!settings.steel) missing << QStringLiteral("钢筋纤维数（--steel）");
  QStringList lines;
  lines << QStringLiteral("无法从文件“%1”的数值看出%2，请在命令行上给出。")
               .arg(QDir::toNativeSeparators(path), missing.join(QStringLiteral("、")));
  if (found.problem == LayoutProblem::SeveralFit) {
    lines << QStringLiteral("文件的数值有 %1 种分法都说得通：").arg(found.plausible.size());
    for (const Layout& l : found.plausible) lines << QStringLiteral("  ") + layoutOptions(l);
  } else if (found.problem == LayoutProblem::NoFit) {
    lines << QStringLiteral(
                 "它的数不能分成 %1 个同样的节，或者分出的节不像纤维数据；文件可能不完整。")
                 .arg(found.sections);
  } else if (const QString why = layoutText(found); !why.isEmpty()) {
    lines << QStringLiteral("依据：") + why + QStringLiteral("。");
  }
  return lines.join(QLatin1Char('\n'));
}

CheckRead failed(CheckRead::Outcome outcome, QString message) {
  CheckRead out;
  out.outcome = outcome;
  out.message = std::move(message);
  return out;
}

}  // namespace

QString settingsOptions(const ReadOptions& o) {
  QString text = o.version == FileVersion::Old ? QStringLiteral("--old") : QStringLiteral("--new");
  if (describe(o.version).readsWithoutTitles()) {
    text += o.hasTitleLine ? QStringLiteral(" --titles") : QStringLiteral(" --no-titles");
  }
  return text + QStringLiteral(" --concrete %1 --steel %2")
                    .arg(QString::number(o.concreteCount),
                         QString::fromStdString(exportText(o.steelCount, NumberKind::Read)));
}

CheckRead readForCheck(const QString& path, const GivenSettings& given, Feedback& feedback) {
  const std::string file = QFile::encodeName(path).toStdString();
  ReadControl control;
  control.feedback = &feedback;
  GivenSettings settings = given;
  std::optional<DetectedLayout> found;
  if (!complete(settings)) {
    found = detectLayoutOfFile(file, control);
    if (feedback.isCancelled()) return {};
    settings = merged(settings, *found);
    // No settings read past a field that long: the file is unreadable, not unclear.
    if (found->problem == LayoutProblem::FieldTooLong) {
      return failed(CheckRead::Outcome::Unreadable,
                    QStringLiteral("无法读取文件“%1”：第 %2 行有一项过长，不像纤维数据，"
                                   "无论怎样设置都无法读取。")
                        .arg(QDir::toNativeSeparators(path))
                        .arg(found->line));
    }
    // No cut fits, but section 1 shows its layout line by line: read with it, the file says
    // where it breaks that layout, which tells more than that nothing fits.
    if (!complete(settings) && found->problem == LayoutProblem::NoFit && found->firstSectionLines) {
      const Layout& l = *found->firstSectionLines;
      GivenSettings shown = settings;
      if (!shown.titled) shown.titled = l.titled;
      if (!shown.version && !l.titled) shown.version = versionWithoutTitles();
      if (!shown.concrete) shown.concrete = l.concrete;
      if (!shown.steel) shown.steel = l.steel;
      const ReadOptions guess = optionsOf(shown);
      const ReadResult read = readSectionFile(file, guess, control);
      if (feedback.isCancelled()) return {};
      if (const auto* e = std::get_if<ReadError>(&read)) {
        return failed(
            CheckRead::Outcome::Unreadable,
            readFailureMessage(*e, path, guess) +
                QStringLiteral("\n（文件的数值看不出读取设置；以上按第 1 节各行的排列读取：%1）")
                    .arg(settingsOptions(guess)));
      }
    }
    if (!complete(settings) && !settingsDoNotMatter(found->problem)) {
      return failed(CheckRead::Outcome::Untold, untoldMessage(path, settings, *found));
    }
  }
  const ReadOptions used = optionsOf(settings);
  // Detection's confirming read stands for the read where it read with these settings.
  std::shared_ptr<SectionStore> confirmed;
  if (found && found->storeReadWith == used) confirmed = std::move(found->store);
  if (found) found->store.reset();
  const bool takenOver = confirmed != nullptr;
  ReadResult result =
      takenOver ? ReadResult(std::move(*confirmed)) : readSectionFile(file, used, control);
  confirmed.reset();
  if (feedback.isCancelled()) return {};
  // Detection keeps only a store whose values passed the same checks.
  std::optional<ValueFinding> values;
  if (const auto* store = std::get_if<SectionStore>(&result); store && !takenOver) {
    values = checkValues(*store);
  }
  if (!found && readNeedsLayout(result, values)) {
    found = detectLayoutOfFile(file, control);
    if (feedback.isCancelled()) return {};
  }
  const ReadPlan plan = planRead(result, path, used, values, found ? &*found : nullptr, true);
  if (!plan.message.isEmpty()) {
    QString message = plan.message;
    if (!plan.choices.empty()) {
      message += QStringLiteral("\n按文件的数值，可以这样读取：");
      for (const ReadOptions& o : plan.choices)
        message += QStringLiteral("\n  ") + settingsOptions(o);
    }
    const bool unreadable = std::holds_alternative<ReadError>(result);
    return failed(unreadable ? CheckRead::Outcome::Unreadable : CheckRead::Outcome::Untold,
                  message);
  }
  CheckRead out;
  out.outcome = CheckRead::Outcome::Read;
  out.used = used;
  out.store = std::make_shared<const SectionStore>(std::move(std::get<SectionStore>(result)));
  return out;
}

}  // namespace fiberview
