#include "app/check_json.h"

#include <cmath>
#include <optional>
#include <utility>

#include "plot/number_format.h"
#include "widgets/section_table_model.h"

namespace fiberview {

namespace {

using Field = std::pair<const char*, QByteArray>;

QByteArray quoted(const QByteArray& utf8) {
  QByteArray out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += QByteArray("\\u00") +
                 QByteArray::number(static_cast<int>(c), 16).rightJustified(2, '0');
        } else {
          out += c;
        }
    }
  }
  return out + '"';
}
QByteArray quoted(const QString& text) {
  return quoted(text.toUtf8());
}
QByteArray quoted(const std::string& text) {
  return quoted(QByteArray::fromStdString(text));
}

QByteArray number(double value, NumberKind kind) {
  const QByteArray text = QByteArray::fromStdString(exportText(value, kind));
  // JSON has no infinities nor NaN; the export's words for them stand as strings.
  return std::isfinite(value) ? text : quoted(text);
}
QByteArray number(const std::optional<double>& value, NumberKind kind) {
  return value ? number(*value, kind) : QByteArrayLiteral("null");
}
QByteArray integer(long long value) {
  return QByteArray::number(value);
}
QByteArray boolean(bool value) {
  return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

QByteArray value(const Value& v) {
  if (const auto* d = std::get_if<double>(&v)) return number(*d, NumberKind::Read);
  if (const auto* s = std::get_if<std::string>(&v)) return quoted(*s);
  return QByteArrayLiteral("null");
}

QByteArray object(const std::vector<Field>& fields) {
  QByteArray out = "{";
  for (const auto& [key, text] : fields) {
    if (out.size() > 1) out += ", ";
    out += '"' + QByteArray(key) + "\": " + text;
  }
  return out + '}';
}

// Objects one a line, so that a file of many sections reads and compares line by line.
QByteArray list(const std::vector<QByteArray>& items) {
  if (items.empty()) return QByteArrayLiteral("[]");
  QByteArray out = "[\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += items[i];
    out += i + 1 < items.size() ? ",\n" : "\n";
  }
  return out + ']';
}

QByteArray fiber(FiberKind kind, int number) {
  return object({{"kind", kind == FiberKind::Concrete ? "\"concrete\"" : "\"steel\""},
                 {"number", integer(number)}});
}

// Value `v` (1-based) of fiber `number` of `kind`.
double fiberValue(const Section& s, FiberKind kind, int number, int v) {
  const auto i = static_cast<std::size_t>(number - 1);
  const auto j = static_cast<std::size_t>(v - 1);
  return kind == FiberKind::Concrete ? s.concrete[i][j] : s.steel[i][j];
}

std::vector<Field> findingFields(const Finding& f, const Section& s) {
  const auto read = [&](int v) {
    return number(fiberValue(s, f.fiberKind, f.fiber, v), NumberKind::Read);
  };
  const Field at = {"fiber", fiber(f.fiberKind, f.fiber)};
  switch (f.kind) {
    case CheckKind::NotFinite:
      return {{"code", "\"value-not-finite\""}, at, {"value", integer(f.value)}};
    case CheckKind::NegativeArea:
      return {{"code", "\"negative-area\""}, at, {"area", read(3)}};
    case CheckKind::ZeroArea:
      return {{"code", "\"zero-area\""}, at};
    case CheckKind::Coincident:
      return {{"code", "\"coincident-fibers\""},
              at,
              {"otherFiber", integer(f.otherFiber)},
              {"x", read(1)},
              {"y", read(2)}};
    case CheckKind::SteelOutsideConcrete:
      return {{"code", "\"steel-outside-concrete\""}, at, {"x", read(1)}, {"y", read(2)}};
  }
  return {};
}

std::vector<Field> issueFields(SectionIssue issue, const SectionRow& row, const Section& s,
                               FileVersion version) {
  const VersionDescription& d = describe(version);
  const auto stated = [&](int property) {
    return value(s.properties[static_cast<std::size_t>(property)]);
  };
  constexpr NumberKind computed = NumberKind::Computed;
  switch (issue) {
    case SectionIssue::NoFibers:
      return {{"code", "\"no-fibers\""}};
    case SectionIssue::RegionFailed:
      return {{"code", "\"region-failed\""}, {"reason", quoted(row.regionFailure)}};
    case SectionIssue::WidthMismatch:
      return {{"code", "\"width-mismatch\""},
              {"stated", stated(d.widthProperty)},
              {"measured", number(row.regionWidth, computed)},
              {"relative", number(row.comparisons[0], NumberKind::RelativeDifference)}};
    case SectionIssue::HeightMismatch:
      return {{"code", "\"height-mismatch\""},
              {"stated", stated(d.heightProperty)},
              {"measured", number(row.regionHeight, computed)},
              {"relative", number(row.comparisons[1], NumberKind::RelativeDifference)}};
    case SectionIssue::OddBar: {
      const int bar = row.oddBars.front();
      return {{"code", "\"odd-bar\""},
              {"fiber", fiber(FiberKind::Steel, bar)},
              {"area", number(fiberValue(s, FiberKind::Steel, bar, 3), NumberKind::Read)}};
    }
    case SectionIssue::SteelAreaOutlier:
      return {{"code", "\"steel-area-outlier\""},
              {"steelArea", number(row.steelArea, computed)},
              {"common", number(row.steelOutlier ? row.steelOutlier->common : 0.0, computed)},
              {"sharing", integer(row.steelOutlier ? row.steelOutlier->sharing : 0)}};
  }
  return {};
}

QByteArray sectionJson(const SectionRow& row, const SectionStore& store) {
  const Section& s = *store.section(row.number);
  const VersionDescription& d = describe(store.version);
  // The findings in the order verdictLines states them: the fibers', then the section's.
  std::vector<std::vector<Field>> findings;
  for (const Finding& f : row.fiberFindings) findings.push_back(findingFields(f, s));
  for (SectionIssue issue : row.issues)
    findings.push_back(issueFields(issue, row, s, store.version));
  const std::vector<VerdictLine> lines = verdictLines(row);
  std::vector<QByteArray> findingObjects;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    findings[i].push_back({"text", quoted(lines[i].text)});
    findingObjects.push_back(object(findings[i]));
  }
  std::vector<Field> properties;
  for (std::size_t i = 0; i < 3; ++i) {
    properties.push_back(
        {d.propertyNames[static_cast<std::size_t>(d.shownOrder[i])], value(row.properties[i])});
  }
  std::vector<Field> comparisons;
  if (d.givesSize()) {
    const auto name = [&](int property) {
      return d.propertyNames[static_cast<std::size_t>(property)];
    };
    comparisons = {
        {name(d.widthProperty), number(row.comparisons[0], NumberKind::RelativeDifference)},
        {name(d.heightProperty), number(row.comparisons[1], NumberKind::RelativeDifference)}};
  } else {
    comparisons = {{"EA/Ac", number(row.comparisons[0], NumberKind::Computed)},
                   {"EIxx/Ixx", number(row.comparisons[1], NumberKind::Computed)},
                   {"EIyy/Iyy", number(row.comparisons[2], NumberKind::Computed)}};
  }
  constexpr NumberKind computed = NumberKind::Computed;
  return object({
      {"number", integer(row.number)},
      {"title", store.titled ? quoted(row.title) : QByteArrayLiteral("null")},
      {"concreteFibers", integer(row.concreteCount)},
      {"steelFibers", integer(row.steelCount)},
      {"concreteArea", number(row.concreteArea, computed)},
      {"steelArea", number(row.steelArea, computed)},
      {"ratio", number(row.ratio, computed)},
      {"regionWidth", number(row.regionWidth, computed)},
      {"regionHeight", number(row.regionHeight, computed)},
      {"properties", object(properties)},
      {"comparisons", object(comparisons)},
      {"sameAs", row.sameAs != 0 ? integer(row.sameAs) : QByteArrayLiteral("null")},
      {"findings", list(findingObjects)},
  });
}

}  // namespace

QByteArray checkedFileJson(const QString& path, const ReadOptions& readWith,
                           const SectionStore& store, const std::vector<SectionRow>& rows,
                           bool onlyFindings) {
  std::vector<QByteArray> sections;
  int flagged = 0;
  for (const SectionRow& row : rows) {
    flagged += row.hasFindings() ? 1 : 0;
    if (!onlyFindings || row.hasFindings()) sections.push_back(sectionJson(row, store));
  }
  const QByteArray settings = object({
      {"version", readWith.version == FileVersion::Old ? "\"old\"" : "\"new\""},
      {"titles", boolean(readWith.titled())},
      {"concrete", integer(readWith.concreteCount)},
      {"steel", number(readWith.steelCount, NumberKind::Read)},
  });
  return object({
      {"path", quoted(path)},
      {"status", integer(flagged > 0 ? 1 : 0)},
      {"settings", settings},
      {"sectionCount", integer(static_cast<long long>(rows.size()))},
      {"sectionsWithFindings", integer(flagged)},
      {"summary", quoted(tableStatusText(rows))},
      {"sections", list(sections)},
  });
}

QByteArray unreadFileJson(const QString& path, int status, const QString& message) {
  return object(
      {{"path", quoted(path)}, {"status", integer(status)}, {"message", quoted(message)}});
}

QByteArray checkJson(const std::vector<QByteArray>& files, int status, bool onlyFindings) {
  return object({
             {"format", "\"fiberview-check\""},
             {"version", "1"},
             {"program", quoted(QStringLiteral(FIBERVIEW_VERSION))},
             {"onlyFindings", boolean(onlyFindings)},
             {"status", integer(status)},
             {"files", list(files)},
         }) +
         '\n';
}

}  // namespace fiberview
