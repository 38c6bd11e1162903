#include "app/compare_command.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

#include "app/check_read.h"
#include "app/read_messages.h"
#include "app/stop_on_signal.h"
#include "data/layout_detection.h"
#include "plot/section_compare.h"
#include "widgets/compare_report.h"
#include "widgets/compare_table_model.h"
#include "widgets/compare_text.h"
#include "widgets/file_export.h"

namespace fiberview {

namespace {

enum Exit { kSame = 0, kDiffer = 1, kUsage = 2, kUnreadable = 3, kUnclear = 4, kUnwritable = 5 };

const QString kOption = QStringLiteral("compare");
// The JSON's version: it goes up when a field changes its meaning or goes, not when one is
// added.
constexpr int kJsonVersion = 1;

void print(FILE* to, const QString& text) {
  std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), to);
}

struct Input {
  QString path;
  ReadOptions used;
  std::shared_ptr<const SectionStore> store;
};

struct Failure {
  int exit = kUnreadable;
  QString message;
};

// Reads `path` as `fiberview --check` reads it: the settings given are used, the others are
// told from the file's layout, and where they cannot be told or do not fit, it says so.
std::variant<Input, Failure> readInput(const QString& path, const GivenSettings& given,
                                       Feedback& work) {
  CheckRead read = readForCheck(path, given, work);
  switch (read.outcome) {
    case CheckRead::Outcome::Read:
      return Input{path, read.used, std::move(read.store)};
    case CheckRead::Outcome::Untold:
      return Failure{kUnclear, read.message};
    case CheckRead::Outcome::Unreadable:
    case CheckRead::Outcome::Stopped:
      break;
  }
  return Failure{kUnreadable, read.message};
}

// Takes the reading options of `fiberview --check` out of `arguments`, checked as --check
// checks them, so that both commands take the same settings in the same words.
std::variant<GivenSettings, QString> takeReadingOptions(QStringList& arguments) {
  QStringList reading{QStringLiteral("fiberview"), QStringLiteral("--check")};
  QStringList rest;
  const QStringList flags = {QStringLiteral("--old"), QStringLiteral("--new"),
                             QStringLiteral("--titles"), QStringLiteral("--no-titles")};
  const QStringList counts = {QStringLiteral("--concrete"), QStringLiteral("--steel")};
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (flags.contains(a)) {
      reading << a;
    } else if (counts.contains(a)) {
      if (i + 1 == arguments.size()) {
        return QStringLiteral("选项“%1”后面缺少值。用 --help 查看用法。").arg(a);
      }
      reading << a << arguments[++i];
    } else {
      rest << a;
    }
  }
  reading << QStringLiteral("文件");
  arguments = rest;
  const CommandLine line = parseCommandLine(reading);
  if (line.action == CommandLine::Action::Fail) return line.error;
  return line.check.settings;
}

QString sideText(const SectionStore& store, int number) {
  const Section* s = store.section(number);
  if (s == nullptr) return QStringLiteral("—");
  QString text = QString::number(number);
  if (store.titled) text += QLatin1Char(' ') + QString::fromStdString(s->title);
  return text;
}

// JSON numbers, where JSON has none for what is not finite.
QJsonValue number(double v) {
  return std::isfinite(v) ? QJsonValue(v) : QJsonValue();
}

QJsonValue number(const std::optional<double>& v) {
  return v ? number(*v) : QJsonValue();
}

QJsonValue value(const Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return number(*d);
  if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
  return QJsonValue();
}

QJsonObject figuresJson(const CompareFigures& f) {
  return {{QStringLiteral("concreteArea"), number(f.concreteArea)},
          {QStringLiteral("steelArea"), number(f.steelArea)},
          {QStringLiteral("ratio"), number(f.ratio)},
          {QStringLiteral("regionWidth"), number(f.regionWidth)},
          {QStringLiteral("regionHeight"), number(f.regionHeight)}};
}

// One object per change; `code` is one of title-changed, property-changed, fiber-added,
// fiber-removed, fiber-moved, fiber-resized, fiber-values-changed, and stays so from one
// version of the program to the next.
QJsonArray changesJson(const SectionComparison& row, FileVersion version) {
  QJsonArray out;
  if (row.titleChanged) out.append(QJsonObject{{QStringLiteral("code"), "title-changed"}});
  for (const PropertyChange& p : row.properties) {
    out.append(
        QJsonObject{{QStringLiteral("code"), "property-changed"},
                    {QStringLiteral("property"),
                     QString::fromLatin1(
                         describe(version).propertyNames[static_cast<std::size_t>(p.property)])},
                    {QStringLiteral("before"), value(p.before)},
                    {QStringLiteral("after"), value(p.after)}});
  }
  for (const FiberChange& f : row.fibers) {
    const auto fiber = [&f](const char* code) {
      QJsonObject o{{QStringLiteral("code"), code},
                    {QStringLiteral("kind"), f.kind == FiberKind::Concrete ? "concrete" : "steel"}};
      if (f.before != 0) o[QStringLiteral("oldFiber")] = f.before;
      if (f.after != 0) o[QStringLiteral("newFiber")] = f.after;
      o[QStringLiteral("x")] = number(f.to.x);
      o[QStringLiteral("y")] = number(f.to.y);
      return o;
    };
    if (f.added()) out.append(fiber("fiber-added"));
    if (f.removed()) out.append(fiber("fiber-removed"));
    if (f.moved) {
      QJsonObject o = fiber("fiber-moved");
      o[QStringLiteral("distance")] = number(*f.moved);
      o[QStringLiteral("fromX")] = number(f.from.x);
      o[QStringLiteral("fromY")] = number(f.from.y);
      out.append(o);
    }
    if (f.area) {
      QJsonObject o = fiber("fiber-resized");
      o[QStringLiteral("before")] = number((*f.area)[0]);
      o[QStringLiteral("after")] = number((*f.area)[1]);
      out.append(o);
    }
    if (!f.values.empty()) {
      QJsonObject o = fiber("fiber-values-changed");
      QJsonArray values;
      for (int v : f.values) values.append(v);
      o[QStringLiteral("values")] = values;
      out.append(o);
    }
  }
  return out;
}

QByteArray comparisonJson(const Comparison& c, const Input& before, const Input& after) {
  static const char* const statuses[] = {"added", "removed", "changed", "same"};
  static const char* const matchings[] = {"title", "number-untitled", "number-requested"};
  const auto file = [](const Input& in) {
    return QJsonObject{{QStringLiteral("path"), in.path},
                       {QStringLiteral("sections"), static_cast<int>(in.store->sections.size())},
                       {QStringLiteral("settings"), reportFile(in.path, in.used).settings}};
  };
  QJsonArray sections;
  for (const SectionComparison& row : c.sections) {
    QJsonObject o{{QStringLiteral("status"), statuses[static_cast<int>(row.status)]}};
    for (const auto& [key, number, input] :
         {std::tuple{"old", row.before, &before}, std::tuple{"new", row.after, &after}}) {
      if (const Section* s = input->store->section(number)) {
        o[QString::fromLatin1(key)] =
            QJsonObject{{QStringLiteral("number"), number},
                        {QStringLiteral("title"), QString::fromStdString(s->title)}};
      }
    }
    if (row.status == SectionStatus::Changed) {
      o[QStringLiteral("changes")] = changesJson(row, before.store->version);
    }
    if (row.figuresBefore) o[QStringLiteral("figuresBefore")] = figuresJson(*row.figuresBefore);
    if (row.figuresAfter) o[QStringLiteral("figuresAfter")] = figuresJson(*row.figuresAfter);
    sections.append(o);
  }
  const QJsonObject root{
      {QStringLiteral("version"), kJsonVersion},
      {QStringLiteral("old"), file(before)},
      {QStringLiteral("new"), file(after)},
      {QStringLiteral("matching"), matchings[static_cast<int>(c.matching)]},
      {QStringLiteral("repeatedTitles"), c.repeatedTitles},
      {QStringLiteral("tolerance"), c.options.tolerance},
      {QStringLiteral("propertiesCompared"), before.store->version == after.store->version},
      {QStringLiteral("counts"),
       QJsonObject{{QStringLiteral("added"), c.count(SectionStatus::Added)},
                   {QStringLiteral("removed"), c.count(SectionStatus::Removed)},
                   {QStringLiteral("changed"), c.count(SectionStatus::Changed)},
                   {QStringLiteral("same"), c.count(SectionStatus::Same)}}},
      {QStringLiteral("sections"), sections}};
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
  return writeWholeFile(path, [&bytes](QIODevice& device) {
    return device.write(bytes) == bytes.size() ? WriteStep::Done : WriteStep::Failed;
  });
}

}  // namespace

bool isCompareCommand(const QStringList& arguments) {
  return arguments.contains(QStringLiteral("--") + kOption);
}

int runCompare(const QStringList& arguments) {
  // The report's text needs fonts, so a GUI application, but never a display.
  std::unique_ptr<QGuiApplication> app;
  static int argc = 1;
  static char name[] = "fiberview";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  }

  QStringList rest = arguments;
  auto given = takeReadingOptions(rest);
  if (const auto* error = std::get_if<QString>(&given)) {
    print(stderr, *error);
    return kUsage;
  }
  QCommandLineParser parser;
  const QCommandLineOption compare(kOption, QStringLiteral("比较两个文件"));
  const QCommandLineOption tolerance(QStringLiteral("tolerance"),
                                     QStringLiteral("纤维中心移动不超过它时算作没有移动"),
                                     QStringLiteral("D"), QStringLiteral("0"));
  const QCommandLineOption byNumber(QStringLiteral("by-number"),
                                    QStringLiteral("有标题的文件也按截面编号配对"));
  const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("把比较表写成 CSV"),
                               QStringLiteral("OUT"));
  const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("把比较结果写成 JSON"),
                                QStringLiteral("OUT"));
  const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("把比较报告写成 PDF"),
                               QStringLiteral("OUT"));
  // Taken as --check takes it; the comparison shows no progress to quiet.
  const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("不显示进度"));
  for (const QCommandLineOption& o : {compare, tolerance, byNumber, csv, json, pdf, quiet}) {
    parser.addOption(o);
  }
  const auto usage = [](const QString& why) {
    print(stderr,
          why + QStringLiteral(
                    "\n用法：fiberview --compare 旧文件 新文件 [--tolerance D] "
                    "[--by-number] [--old|--new] [--titles|--no-titles] [--concrete N] [--steel N] "
                    "[--csv 输出] [--json 输出] [--pdf 输出]"));
    return kUsage;
  };
  if (!parser.parse(rest)) return usage(parseFailureText(parser, rest));
  if (parser.positionalArguments().size() != 2) {
    return usage(QStringLiteral("--compare 需要两个文件：旧文件和新文件。"));
  }
  CompareOptions options;
  bool ok = false;
  options.tolerance = parser.value(tolerance).toDouble(&ok);
  if (!ok || !(options.tolerance >= 0.0) || !std::isfinite(options.tolerance)) {
    return usage(QStringLiteral("--tolerance 要一个不小于 0 的数，而不是“%1”。")
                     .arg(parser.value(tolerance)));
  }
  options.byNumber = parser.isSet(byNumber);

  Feedback work;
  const StopOnSignal stop(work);
  Input inputs[2];
  for (int i = 0; i < 2; ++i) {
    auto read = readInput(parser.positionalArguments()[i], std::get<GivenSettings>(given), work);
    if (work.isCancelled()) return stop.exitStatus();
    if (const auto* failure = std::get_if<Failure>(&read)) {
      print(stderr, failure->message);
      return failure->exit;
    }
    inputs[i] = std::get<Input>(std::move(read));
  }
  const Input& before = inputs[0];
  const Input& after = inputs[1];
  const std::optional<Comparison> compared =
      compareStores(*before.store, *after.store, options, work);
  if (!compared || work.isCancelled()) return stop.exitStatus();
  const Comparison& c = *compared;

  // "-" puts the JSON on standard output, alone there, as --check does.
  const bool jsonToStandardOutput = parser.value(json) == QLatin1String("-");
  if (!jsonToStandardOutput) {
    print(stdout, compareStatusText(c));
    print(stdout, matchingText(c));
    for (const SectionComparison& row : c.sections) {
      if (row.status == SectionStatus::Same) continue;
      print(stdout,
            QStringLiteral("%1\t%2 → %3\t%4")
                .arg(statusName(row.status), sideText(*before.store, row.before),
                     sideText(*after.store, row.after), changeSummary(row, before.store->version)));
    }
  }

  QStringList failures;
  if (parser.isSet(csv)) {
    CompareTableModel model;
    model.setComparison(before.store, after.store, c);
    QList<int> columns;
    for (int k = 0; k < CompareTableModel::kColumns; ++k) columns << k;
    failures << writeBytes(parser.value(csv),
                           csvText(model, CompareTableModel::kExportRole, columns));
  }
  if (jsonToStandardOutput) {
    const QByteArray bytes = comparisonJson(c, before, after);
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) !=
            static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
      failures << QStringLiteral("无法把 JSON 写到标准输出。");
    }
  } else if (parser.isSet(json)) {
    failures << writeBytes(parser.value(json), comparisonJson(c, before, after));
  }
  if (parser.isSet(pdf)) {
    failures << writeWholeFile(parser.value(pdf), [&](QIODevice& device) {
      return writeComparisonPdf(device, *before.store, reportFile(before.path, before.used),
                                *after.store, reportFile(after.path, after.used), c,
                                [&work](int) { return !work.isCancelled(); });
    });
  }
  if (work.isCancelled()) return stop.exitStatus();
  failures.removeAll(QString());
  for (const QString& f : failures) print(stderr, f);
  if (!failures.isEmpty()) return kUnwritable;
  return c.same() ? kSame : kDiffer;
}

}  // namespace fiberview
