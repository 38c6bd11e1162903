#include "data/layout_detection.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>
#include <span>
#include <tuple>

#include "data/fiber_measures.h"
#include "data/numbers.h"
#include "data/value_checks.h"

namespace fiberview {

using detail::kConcreteFields;
using detail::KindBreak;
using detail::KindCount;
using detail::kPropertyFields;
using detail::kSteelFields;

namespace {

// Sections of a cut whose values are looked at before it is called plausible.
constexpr std::size_t kSectionsScored = 8;
// Values copied into trial sections, summed over all cuts, before detection stops trying.
constexpr std::size_t kScoringBudget = std::size_t{1} << 26;
// Fields read between two polls of the cancel: some microseconds of reading.
constexpr std::size_t kPollEvery = 1024;

// The file's fields after the section count, with the lines they start on.
struct FileFields {
  struct Line {
    long long number;
    std::size_t first;  // index of its first field
  };
  std::vector<double> values;  // a text is NaN; an empty field 0, as a number reads it
  std::vector<Line> lines;     // the lines that hold fields, in order
  long long countLine = 1;

  std::size_t size() const { return values.size(); }
  bool isText(std::size_t i) const { return std::isnan(values[i]); }
  // The line field i starts on.
  long long lineOf(std::size_t i) const {
    const auto it = std::upper_bound(lines.begin(), lines.end(), i,
                                     [](std::size_t k, const Line& l) { return k < l.first; });
    return std::prev(it)->number;
  }
  // The first field on a line after `line`, or size().
  std::size_t firstAfterLine(long long line) const {
    const auto it = std::upper_bound(lines.begin(), lines.end(), line,
                                     [](long long n, const Line& l) { return n < l.number; });
    return it == lines.end() ? size() : it->first;
  }
  // The first field on or after `line`, or size().
  std::size_t firstFromLine(long long line) const { return firstAfterLine(line - 1); }
  long long lastLine() const { return lines.empty() ? countLine : lines.back().number; }
  // How many fields stand on the line holding field i, from field i on.
  std::size_t fieldsOnLineFrom(std::size_t i) const { return firstAfterLine(lineOf(i)) - i; }
};

// How a cut walked the fields: where its sections end, and whether that is the file's end.
struct Walk {
  bool titled = false;
  int perSection = 0;  // K
  bool exact = false;
  // The fields held ran out before the cut did: the reader's confirming read tells whether
  // it ends with the file.
  bool partial = false;
  std::size_t end = 0;
  std::size_t sectionsHeld = 0;  // with partial: the sections wholly among the fields held
  bool fromLineShape = false;
};

// Counts of one section's fibers read as a layout would read them: how many are whole fibers
// (finite, with a positive area), and the kinds of their further values.
template <std::size_t N>
struct FiberTally {
  std::uint32_t valid = 0;
  KindCount<N, std::uint32_t> kinds;
};

class Detector {
 public:
  Detector(ByteSource& source, const std::function<ReadResult(const ReadOptions&)>& readWith,
           Feedback* feedback)
      : reader_(source), readWith_(readWith), feedback_(feedback), size_(source.size()) {}
  DetectedLayout run();

 private:
  bool start();
  bool hold(std::size_t limit);
  bool countRest();
  bool readerFailure();
  bool fail(LayoutProblem p, long long line = 0);
  bool cancelRequested() const { return feedback_ != nullptr && feedback_->isCancelled(); }
  bool cancelledAt(std::size_t fieldsRead);
  std::size_t totalFields() const { return counted_ ? total_ : fields_.size(); }
  long long lastLine() const { return counted_ ? lastLine_ : fields_.lastLine(); }
  std::optional<Walk> walk(bool titled, std::size_t perSection) const;
  std::size_t dataStart(bool titled) const;
  std::optional<Layout> lineShapeSection(bool titled) const;
  std::vector<Walk> walks() const;
  std::vector<Section> sectionsOf(const Walk& w, const Layout& l, std::size_t count) const;
  void tallyFirstSection(const Walk& w);
  bool firstSectionBreaks(const Layout& l) const;
  void score(const Walk& w);
  bool settlesQuickly() const;
  void settle();

  FieldReader reader_;
  const std::function<ReadResult(const ReadOptions&)>& readWith_;
  Feedback* const feedback_;
  const std::uint64_t size_;
  std::size_t nextPoll_ = 0;
  FileFields fields_;
  // The file ended among the fields held.
  bool complete_ = false;
  // Past the fields held, the rest were counted: total_ fields up to lastLine_.
  bool counted_ = false;
  std::size_t total_ = 0;
  long long lastLine_ = 0;
  int sections_ = 0;
  DetectedLayout result_;
  std::vector<Walk> plausibleWalks_;
  std::size_t budget_ = kScoringBudget;
  // The first section of the walk being scored, tallied from its start (concrete_[c]: the
  // first c fibers of 8) and from its end (steel_[s]: the last s fibers of 5).
  std::vector<FiberTally<kConcreteFields>> concrete_;
  std::vector<FiberTally<kSteelFields>> steel_;
  // Settling on the few sections held first: the version is then told from the confirming
  // read's store rather than from the sections held.
  bool quick_ = false;
  // A confirming read that did not confirm, so that the same settings are not read twice.
  struct Refuted {
    ReadOptions with;
    bool read = false;  // the reader read the file: the values' checks refuted it
    std::optional<long long> leftoverLine;
    // The version only labels a store, so a read that failed fails with any version.
    bool covers(const ReadOptions& o) const {
      return o.concreteCount == with.concreteCount && o.steelCount == with.steelCount &&
             o.hasTitleLine == with.hasTitleLine && (!read || o.version == with.version);
    }
  };
  std::optional<Refuted> refuted_;
};

bool Detector::fail(LayoutProblem p, long long line) {
  result_.problem = p;
  result_.line = line;
  return false;
}

// Whether the caller cancelled detection, asked once every kPollEvery fields read, when it
// is also told how far the reading is.
bool Detector::cancelledAt(std::size_t fieldsRead) {
  if (feedback_ == nullptr || fieldsRead < nextPoll_) return false;
  nextPoll_ = fieldsRead + kPollEvery;
  feedback_->setProgress(reader_.bytesConsumed(), size_);
  return feedback_->isCancelled();
}

// Whether detection may go on after the reader stopped: a field no reader could take ends
// the fields, and stands as a text where it begins.
bool Detector::readerFailure() {
  const FieldError& e = reader_.error();
  switch (e.kind) {
    case ReadFailure::Utf16:
      return fail(LayoutProblem::Utf16);
    case ReadFailure::File:
      result_.file = e.file;
      return fail(LayoutProblem::File);
    case ReadFailure::TooLong:
      return fail(LayoutProblem::FieldTooLong, e.where.line);
    default:
      return true;
  }
}

// Reads the section count.
bool Detector::start() {
  Value v;
  if (!reader_.skipBlanksAndLineEnds()) {
    return readerFailure() && fail(LayoutProblem::Empty);
  }
  if (!reader_.readValueOrText(v)) {
    return readerFailure() && fail(LayoutProblem::CountNotANumber, reader_.error().where.line);
  }
  fields_.countLine = reader_.lastFieldStart().line;
  const auto* count = std::get_if<double>(&v);
  if (count == nullptr) return fail(LayoutProblem::CountNotANumber, fields_.countLine);
  std::int16_t n = 0;
  if (!roundToInt16(*count, n)) return fail(LayoutProblem::CountOutOfRange, fields_.countLine);
  if (n < 0) return fail(LayoutProblem::NegativeCount, fields_.countLine);
  if (n == 0) return fail(LayoutProblem::NoSections, fields_.countLine);
  sections_ = n;
  result_.sections = n;
  return true;
}

// Holds the next fields, up to `limit` in all, or to the end of the file.
bool Detector::hold(std::size_t limit) {
  // Plain numbers, nearly all of a file, come in batches; anything else, and the fields
  // near the limit, one by one.
  constexpr std::size_t kBatch = 1024;
  std::array<double, kBatch> numbers;
  std::array<long long, kBatch> lines;
  const auto keepLine = [this](long long line) {
    if (fields_.lines.empty() || fields_.lines.back().number != line) {
      fields_.lines.push_back({line, fields_.size()});
    }
  };
  // Room for all of them at once: growing by doubling would copy them and touch twice the
  // fresh pages, which took half of this step on a large file.
  // A field takes at least two bytes, its own and a delimiter, which bounds a small file's.
  std::size_t room = limit + limit / 4 + kBatch;
  if (size_ != 0) room = std::min<std::uint64_t>(room, size_ / 2 + kBatch);
  fields_.values.reserve(room);
  Value v;
  for (;;) {
    if (cancelledAt(fields_.size())) return fail(LayoutProblem::Cancelled);
    if (fields_.size() + kBatch <= limit) {
      const std::size_t got = reader_.readPlainNumbers(numbers.data(), kBatch, lines.data());
      for (std::size_t k = 0; k < got; ++k) {
        keepLine(lines[k]);
        fields_.values.push_back(numbers[k]);
      }
      if (got == kBatch) continue;
    }
    if (!reader_.skipBlanksAndLineEnds()) {
      complete_ = true;
      return readerFailure();
    }
    const long long line = reader_.position().line;
    // Past the limit, at the next line's start, or a little further where lines are long.
    if (fields_.size() >= limit &&
        (fields_.lines.back().number != line || fields_.size() >= limit + limit / 4)) {
      return true;
    }
    keepLine(line);
    if (!reader_.readValueOrText(v)) {
      fields_.values.push_back(std::numeric_limits<double>::quiet_NaN());
      complete_ = true;
      return readerFailure();
    }
    const auto* d = std::get_if<double>(&v);
    fields_.values.push_back(d != nullptr ? *d
                             : std::holds_alternative<std::string>(v)
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : 0.0);
  }
  return true;
}

// Counts the fields past those held, and the line of the last.
bool Detector::countRest() {
  Value v;
  total_ = fields_.size();
  lastLine_ = fields_.lastLine();
  counted_ = true;
  while (reader_.skipBlanksAndLineEnds()) {
    if (cancelledAt(total_)) return fail(LayoutProblem::Cancelled);
    lastLine_ = reader_.position().line;
    ++total_;
    if (!reader_.readValueOrText(v)) break;
  }
  return readerFailure();
}

std::size_t Detector::dataStart(bool titled) const {
  return titled ? fields_.firstAfterLine(fields_.countLine + 1) : 0;
}

// Cuts the fields into sections of `perSection` numbers. A titled section's title is the
// whole line after the previous section's last number, whatever it holds, and its numbers
// start on the next line; the last number of a section ends its line. Text may stand only
// where a title or one of the first two properties does.
std::optional<Walk> Detector::walk(bool titled, std::size_t perSection) const {
  if (perSection < static_cast<std::size_t>(kPropertyFields)) return std::nullopt;
  const std::size_t total = fields_.size();
  if (titled && !fields_.lines.empty() && fields_.lines.front().number == fields_.countLine) {
    return std::nullopt;
  }
  std::size_t i = 0;
  long long titleLine = fields_.countLine + 1;
  for (int k = 0; k < sections_; ++k) {
    if (titled) {
      if (i < total && fields_.lineOf(i) < titleLine) return std::nullopt;
      i = std::max(i, fields_.firstAfterLine(titleLine));
    }
    if (total - i < perSection) {
      if (complete_) return std::nullopt;
      Walk w;
      w.titled = titled;
      w.perSection = static_cast<int>(perSection);
      w.partial = true;
      w.sectionsHeld = static_cast<std::size_t>(k);
      w.end = i;
      // Without titles the count tells; with them, only the read.
      const auto needed = static_cast<std::size_t>(sections_) * perSection;
      if (!titled && counted_ && needed > total_) return std::nullopt;
      w.exact = titled || !counted_ || needed == total_;
      return w;
    }
    for (std::size_t f = 2; f < perSection; ++f) {
      if (fields_.isText(i + f)) return std::nullopt;
    }
    const std::size_t last = i + perSection - 1;
    i += perSection;
    if (titled) {
      titleLine = fields_.lineOf(last) + 1;
      if (i < total && fields_.lineOf(i) < titleLine) return std::nullopt;
    }
  }
  Walk w;
  w.titled = titled;
  w.perSection = static_cast<int>(perSection);
  w.exact = i == total;
  w.end = i;
  return w;
}

// The layout of section 1 where it is written one fiber a line: a line of 3 properties,
// then lines of 8 and lines of 5 values.
std::optional<Layout> Detector::lineShapeSection(bool titled) const {
  std::size_t i = dataStart(titled);
  if (i >= fields_.size() || fields_.fieldsOnLineFrom(i) != kPropertyFields) return std::nullopt;
  i += kPropertyFields;
  Layout l{titled, 0, 0};
  for (int* lines : {&l.concrete, &l.steel}) {
    const int width = lines == &l.concrete ? kConcreteFields : kSteelFields;
    while (i < fields_.size() && fields_.fieldsOnLineFrom(i) == static_cast<std::size_t>(width) &&
           fields_.firstAfterLine(fields_.lineOf(i)) == i + static_cast<std::size_t>(width) &&
           !fields_.isText(i)) {
      i += static_cast<std::size_t>(width);
      ++*lines;
    }
  }
  // A section that runs to the end of the fields held may go on past them.
  if (i >= fields_.size() && !complete_) return std::nullopt;
  return l;
}

// The cuts worth walking: K from the field total, from the lines a section takes, from the
// first text line (a title), and from a section written one fiber a line.
std::vector<Walk> Detector::walks() const {
  std::vector<Walk> found;
  const auto add = [&](bool titled, long long perSection, bool fromLineShape) {
    if (perSection < kPropertyFields) return;
    for (Walk& w : found) {
      if (w.titled == titled && w.perSection == perSection) {
        w.fromLineShape = w.fromLineShape || fromLineShape;
        return;
      }
    }
    if (auto w = walk(titled, static_cast<std::size_t>(perSection))) {
      w->fromLineShape = fromLineShape;
      found.push_back(*w);
    }
  };
  const auto total = static_cast<long long>(totalFields());
  const long long n = sections_;
  for (const bool titled : {false, true}) {
    if (const auto l = lineShapeSection(titled)) {
      add(titled, kPropertyFields + kConcreteFields * l->concrete + kSteelFields * l->steel, true);
    }
  }
  // Cuts from the field total, only once it is known.
  const bool totalKnown = complete_ || counted_;
  if (totalKnown && total % n == 0) add(false, total / n, false);
  if (fields_.size() > 0) {
    const auto start = static_cast<long long>(dataStart(true));
    const long long titleFields = start;
    if (totalKnown && (total - n * titleFields) % n == 0) {
      add(true, (total - n * titleFields) / n, false);
    }
    const long long lines = lastLine() - fields_.countLine;
    if (totalKnown && lines % n == 0 && lines / n >= 2) {
      const long long second = fields_.countLine + 1 + lines / n;
      const std::size_t first = fields_.firstFromLine(second);
      if (first < fields_.size()) add(true, static_cast<long long>(first) - start, false);
    }
    for (const FileFields::Line& l : fields_.lines) {
      if (l.number > fields_.countLine + 1 && static_cast<long long>(l.first) > start &&
          fields_.isText(l.first)) {
        add(true, static_cast<long long>(l.first) - start, false);
        break;
      }
    }
  }
  // A cut that reaches the file's end explains every field; one that leaves some does not.
  std::stable_sort(found.begin(), found.end(), [](const Walk& a, const Walk& b) {
    return std::tie(b.exact, b.fromLineShape) < std::tie(a.exact, a.fromLineShape);
  });
  return found;
}

// The first `count` sections of a cut, as a reader would read them with `l`.
std::vector<Section> Detector::sectionsOf(const Walk& w, const Layout& l, std::size_t count) const {
  std::vector<Section> out;
  std::size_t i = 0;
  long long titleLine = fields_.countLine + 1;
  const auto take = [&] { return fields_.values[i++]; };
  const std::size_t held = w.partial ? w.sectionsHeld : static_cast<std::size_t>(sections_);
  for (std::size_t k = 0; k < count && k < held; ++k) {
    if (w.titled) i = std::max(i, fields_.firstAfterLine(titleLine));
    Section s;
    for (std::size_t p = 0; p < s.properties.size(); ++p) {
      const double v = take();
      s.properties[p] = std::isnan(v) ? Value(std::string("?")) : Value(v);
    }
    s.concrete.resize(static_cast<std::size_t>(l.concrete));
    for (ConcreteFiber& f : s.concrete) {
      for (double& v : f) v = take();
    }
    s.steel.resize(static_cast<std::size_t>(l.steel));
    for (SteelFiber& f : s.steel) {
      for (double& v : f) v = take();
    }
    if (w.titled) titleLine = fields_.lineOf(i - 1) + 1;
    out.push_back(std::move(s));
  }
  return out;
}

// Tallies the first section of `w` for every layout at once, so that a layout whose fibers
// are no fibers, or whose further values break their kind, costs nothing to turn down: a
// section of 32,767 + 32,767 fibers can be cut some 10,000 ways.
void Detector::tallyFirstSection(const Walk& w) {
  const std::size_t start = dataStart(w.titled);
  const auto k = static_cast<std::size_t>(w.perSection);
  const double* values = fields_.values.data() + start;
  concrete_.assign(1, {});
  for (std::size_t i = kPropertyFields; i + kConcreteFields <= k; i += kConcreteFields) {
    FiberTally<kConcreteFields> t = concrete_.back();
    ConcreteFiber f;
    std::copy_n(values + i, kConcreteFields, f.begin());
    if (std::all_of(f.begin(), f.end(), [](double v) { return std::isfinite(v); }) && f[2] > 0.0) {
      ++t.valid;
      t.kinds.add(f);
    }
    concrete_.push_back(t);
  }
  steel_.assign(1, {});
  for (std::size_t end = k; end >= kPropertyFields + kSteelFields; end -= kSteelFields) {
    FiberTally<kSteelFields> t = steel_.back();
    SteelFiber f;
    std::copy_n(values + end - kSteelFields, kSteelFields, f.begin());
    if (std::all_of(f.begin(), f.end(), [](double v) { return std::isfinite(v); }) && f[2] > 0.0) {
      ++t.valid;
      t.kinds.add(f);
    }
    steel_.push_back(t);
  }
}

// Whether the first section read with `l` has a fiber that is no fiber or a further value
// that breaks its kind: what checkSectionValues would find there, less the section's shape.
bool Detector::firstSectionBreaks(const Layout& l) const {
  const auto& c = concrete_[static_cast<std::size_t>(l.concrete)];
  const auto& st = steel_[static_cast<std::size_t>(l.steel)];
  KindBreak how = KindBreak::None;
  return c.valid != static_cast<std::size_t>(l.concrete) ||
         st.valid != static_cast<std::size_t>(l.steel) || c.kinds.broken(how) != 0 ||
         st.kinds.broken(how) != 0;
}

// Tries every (C, S) with 3 + 8C + 5S = K on the cut's first sections.
void Detector::score(const Walk& w) {
  if (w.partial && w.sectionsHeld == 0) return;
  const int rest = w.perSection - kPropertyFields;
  // Below this many layouts, trying each on the section itself costs less than the tally.
  constexpr int kTallyFrom = 16;
  const bool tallied = rest / (kConcreteFields * kSteelFields) >= kTallyFrom;
  if (tallied) tallyFirstSection(w);
  for (int steel = 0; steel * kSteelFields <= rest; ++steel) {
    if ((rest - steel * kSteelFields) % kConcreteFields != 0) continue;
    if (cancelRequested()) return;
    const Layout l{w.titled, (rest - steel * kSteelFields) / kConcreteFields, steel};
    if (std::find(result_.plausible.begin(), result_.plausible.end(), l) !=
        result_.plausible.end()) {
      continue;
    }
    if (tallied && firstSectionBreaks(l)) {
      ++result_.implausible;
      continue;
    }
    // One section first: most wrong cuts fail in it, and copying it costs K values.
    bool plausible = true;
    for (const std::size_t count : {std::size_t{1}, kSectionsScored}) {
      const std::size_t cost = count * static_cast<std::size_t>(w.perSection);
      if (cost > budget_) return;
      budget_ -= cost;
      if (checkSectionValues(sectionsOf(w, l, count))) {
        plausible = false;
        break;
      }
      if (sections_ == 1) break;
    }
    if (plausible) {
      result_.plausible.push_back(l);
      plausibleWalks_.push_back(w);
    } else {
      ++result_.implausible;
    }
  }
}

// Takes the one plausible layout, tells its version, and confirms it with the reader.
void Detector::settle() {
  if (result_.plausible.empty()) {
    fail(LayoutProblem::NoFit);
    return;
  }
  // A cut that explains every field outranks one that leaves some over.
  if (plausibleWalks_.front().exact) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < plausibleWalks_.size(); ++i) {
      if (!plausibleWalks_[i].exact) continue;
      plausibleWalks_[kept] = plausibleWalks_[i];
      result_.plausible[kept++] = result_.plausible[i];
    }
    plausibleWalks_.resize(kept);
    result_.plausible.resize(kept);
  }
  if (result_.plausible.size() > 1) {
    fail(LayoutProblem::SeveralFit);
    return;
  }
  const Layout l = result_.plausible.front();
  const Walk w = plausibleWalks_.front();
  if (!w.exact && !w.partial) result_.leftoverLine = fields_.lineOf(w.end);
  result_.hasTitleLine = l.titled;
  if (l.concrete <= kMaxFibers) result_.concreteCount = l.concrete;
  if (l.steel <= kMaxFibers) result_.steelCount = l.steel;
  // Where the version cannot be told, any version that reads title lines reads the same
  // fields: only the store's label differs.
  const auto tellVersion = [&](std::span<const Section> sections) {
    if (!l.titled) {
      result_.version = versionWithoutTitles();
      result_.versionFinding.version = result_.version;
      result_.versionFinding.sign = VersionSign::NoTitles;
    } else {
      result_.versionFinding = judgeVersion(sections);
      result_.version = result_.versionFinding.version;
    }
    return result_.version.value_or(versionWithoutTitles());
  };
  ReadOptions o;
  if (!quick_) o.version = tellVersion(sectionsOf(w, l, kSectionsForVersion));
  o.hasTitleLine = l.titled;
  o.concreteCount = static_cast<std::int16_t>(std::min(l.concrete, kMaxFibers));
  o.steelCount = std::min(l.steel, kMaxFibers);
  // The section count is 16-bit like the readers', so only the fiber counts can exceed them.
  const bool withinLimits = l.concrete <= kMaxFibers && l.steel <= kMaxFibers;
  if (!withinLimits) {
    fail(LayoutProblem::BeyondLimits);
    return;
  }
  if (!w.exact) return;
  if (!readWith_) {
    result_.confident = !w.partial;
    return;
  }
  if (refuted_ && refuted_->covers(o)) {
    if (w.partial) result_.leftoverLine = refuted_->leftoverLine;
    return;
  }
  ReadResult again = readWith_(o);
  // A cancelled read says nothing of the layout; counting the rest would only delay the stop.
  const auto* failed = std::get_if<ReadError>(&again);
  if ((failed != nullptr && failed->kind == ReadFailure::Cancelled) || cancelRequested()) {
    fail(LayoutProblem::Cancelled);
    return;
  }
  auto* store = std::get_if<SectionStore>(&again);
  if (store != nullptr && quick_) {
    // The first sections, as many as the fields held give where they hold enough.
    const auto first = std::min(store->sections.size(), kSectionsForVersion);
    o.version = tellVersion(std::span(store->sections).first(first));
    store->version = o.version;
  }
  if (store != nullptr && store->leftoverAt && w.partial) {
    result_.leftoverLine = store->leftoverAt->line;
  }
  result_.confident = store != nullptr && !store->leftoverAt && !checkValues(*store);
  if (result_.confident) {
    result_.store = std::make_shared<SectionStore>(std::move(*store));
    result_.storeReadWith = o;
  } else {
    refuted_ = Refuted{o, store != nullptr, result_.leftoverLine};
  }
}

// Whether the fields held first show one layout on as many sections as are scored: then
// the reader's read of the whole decides at once.
bool Detector::settlesQuickly() const {
  return readWith_ && result_.plausible.size() == 1 && plausibleWalks_.front().partial &&
         plausibleWalks_.front().sectionsHeld >= kSectionsScored;
}

// Holds the first fields, and more only where they show no layout: a big file's layout is
// scored on its first sections, and the reader's read of the whole confirms it. Where that
// read does not, the rest of the file is counted for the cuts the field total gives. Each
// step runs once.
DetectedLayout Detector::run() {
  // Most files are written one fiber a line, and their first few sections show the layout:
  // holding more of a big file before its read only delays it.
  bool going = start() && hold(kQuickHeldFields);
  quick_ = going && !complete_;
  while (going) {
    for (const Walk& w : walks()) score(w);
    if (cancelRequested()) {
      fail(LayoutProblem::Cancelled);
      break;
    }
    if (quick_) {
      if (settlesQuickly()) settle();
      quick_ = false;
      if (result_.confident || result_.problem == LayoutProblem::Cancelled) break;
      // As though the fields held so far had not been looked at.
      DetectedLayout fresh;
      fresh.sections = result_.sections;
      result_ = std::move(fresh);
      plausibleWalks_.clear();
      budget_ = kScoringBudget;
      going = hold(kFirstHeldFields);
      continue;
    }
    const bool last = complete_ || counted_;
    const bool tried = !result_.plausible.empty();
    if (last || tried) {
      settle();
      if (last || result_.confident || result_.problem == LayoutProblem::Cancelled) break;
    }
    DetectedLayout fresh;
    fresh.sections = result_.sections;
    result_ = std::move(fresh);
    plausibleWalks_.clear();
    budget_ = kScoringBudget;
    // A cut that fits the first sections but not the file needs the field total.
    going = !tried && fields_.size() < kMaxHeldFields ? hold(kMaxHeldFields) : countRest();
  }
  if (result_.problem == LayoutProblem::Cancelled) {
    DetectedLayout cancelled;
    cancelled.problem = LayoutProblem::Cancelled;
    cancelled.sections = result_.sections;
    cancelled.linesRead = reader_.position().line;
    return cancelled;
  }
  result_.linesRead = reader_.position().line;
  if (result_.leftoverLine) result_.linesRead = std::max(result_.linesRead, *result_.leftoverLine);
  if (result_.problem == LayoutProblem::NoFit) {
    // A title of three words looks like a line of properties: the reading that finds more
    // fiber lines after it is the one that reads the section.
    const auto fibers = [](const std::optional<Layout>& l) {
      return l ? l->concrete + l->steel : -1;
    };
    const std::optional<Layout> untitled = lineShapeSection(false);
    const std::optional<Layout> titled = lineShapeSection(true);
    const std::optional<Layout>& shown = fibers(titled) > fibers(untitled) ? titled : untitled;
    if (fibers(shown) > 0) result_.firstSectionLines = shown;
  }
  return result_;
}

}  // namespace

DetectedLayout detectLayout(ByteSource& source,
                            const std::function<ReadResult(const ReadOptions&)>& readWith,
                            Feedback* feedback) {
  return Detector(source, readWith, feedback).run();
}

DetectedLayout detectLayoutOfBytes(std::string_view bytes) {
  MemorySource source(bytes);
  return detectLayout(source, [bytes](const ReadOptions& o) {
    MemorySource again(bytes);
    return readSections(again, o);
  });
}

DetectedLayout detectLayoutOfFile(const std::string& path, const ReadControl& control) {
  const auto opened = openFile(path);
  if (const auto* error = std::get_if<FileError>(&opened)) {
    DetectedLayout refused;
    refused.problem = LayoutProblem::File;
    refused.file = *error;
    return refused;
  }
  const OpenedFile& file = std::get<OpenedFile>(opened);
  FileSource source(file.file.get(), file.size);
  return detectLayout(
      source, [&path, &control](const ReadOptions& o) { return readSectionFile(path, o, control); },
      control.feedback);
}

}  // namespace fiberview