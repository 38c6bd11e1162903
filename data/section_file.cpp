#include "data/section_file.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "data/text_encoding.h"

namespace fiberview {

namespace {

class PartRead;

// Follows the reader through the file so that a failure can say what was being read.
class SectionReader {
 public:
  SectionReader(ByteSource& source, const ReadOptions& options, const ReadControl& control)
      : source_(source),
        fields_(source),
        options_(options),
        control_(control),
        total_(source.size()) {}

  ReadResult run();
  // For the part of a file that a second thread reads: reads up to `most` sections, until
  // the file ends or `stop` is set, counting the bytes read into `progress`. Returns the
  // offset just after the last whole section read.
  std::uint64_t readPart(std::vector<Section>& sections, int most,
                         std::shared_ptr<FiberBlock> block, const std::atomic<bool>& stop,
                         std::atomic<std::uint64_t>& progress);
  bool isValidUtf8() { return fields_.isValidUtf8(); }
  std::uint64_t titleBytes() const { return needed_; }

 private:
  ReadError failed() const;
  bool readSection(Section& section, bool withTitle);
  template <typename Fiber>
  bool readFibers(FiberList<Fiber>& fibers, std::size_t count, FiberEnds& ends);
  bool cancelled() const;
  void reportProgress(std::uint64_t elsewhere);
  bool takePart(PartRead& part, SectionStore& store, std::size_t from);

  const ByteSource& source_;
  FieldReader fields_;
  const ReadOptions& options_;
  const ReadControl& control_;
  std::uint64_t total_;
  std::uint64_t nextReport_ = 0;
  std::uint64_t budget_ = 0;
  std::uint64_t needed_ = 0;
  std::shared_ptr<FiberBlock> block_;
  TextPosition titleAt_;
  FieldRole role_ = FieldRole::None;
  int section_ = 0;
  int fiber_ = 0;
  int value_ = 0;
  bool partTaken_ = false;  // the sections from the reader's place to the end came from a part
  bool partUtf8_ = true;
};

// How much of a file, from its middle, is searched for the start of a section.
constexpr std::size_t kStartSearch = std::size_t{1} << 20;

// Whether the source holds nothing but blank space and line ends, up to its end or the end
// mark of old DOS programs.
bool onlyBlanksIn(ByteSource& source) {
  std::array<char, 64 * 1024> chunk;
  for (std::size_t got; (got = source.read(chunk.data(), chunk.size())) > 0;) {
    for (std::size_t k = 0; k < got; ++k) {
      const char c = chunk[k];
      if (c == 0x1A) return true;
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
  }
  return source.error() == 0;
}

// The sections of the second half of a file, read in a thread of their own from a place
// where a section seems to begin, while the reader of the whole takes those before it. That
// reader takes them only when it comes to the same place between two sections and they end
// the file; otherwise it reads on itself, so that a guess gone wrong, a failure in the part
// or anything after its last section is met exactly as without this thread.
class PartRead {
 public:
  static constexpr std::uint64_t kNoStart = ~std::uint64_t{0};

  PartRead(const ByteSource& whole, std::uint64_t size, const ReadOptions& options,
           const ReadControl& control, int most, std::shared_ptr<FiberBlock> block)
      : block_(std::move(block)),
        whole_(whole),
        size_(size),
        options_(options),
        control_(control),
        most_(most),
        thread_(&PartRead::run, this) {}
  ~PartRead() {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
  }
  PartRead(const PartRead&) = delete;
  PartRead& operator=(const PartRead&) = delete;

  // Where the part begins, kNoStart when the thread found no place. Until the thread has
  // looked, 0 before the reader of the whole comes to the middle, from where it waits.
  std::uint64_t start(std::uint64_t reached) const {
    std::uint64_t start = start_.load(std::memory_order_acquire);
    if (start == 0 && reached >= size_ / 2) {
      start_.wait(0, std::memory_order_acquire);
      start = start_.load(std::memory_order_acquire);
    }
    return start;
  }
  std::uint64_t bytesRead() const { return progress_.load(std::memory_order_relaxed); }

  struct Sections {
    std::vector<Section> sections;
    bool utf8 = true;
    std::uint64_t titleBytes = 0;
  };
  // Waits for the thread: the sections it read when they end the file, else nullopt.
  std::optional<Sections> finish() {
    if (thread_.joinable()) thread_.join();
    if (!clean_) return std::nullopt;
    return std::move(part_);
  }

 private:
  void run() {
    try {
      readPart();
    } catch (...) {
      // Out of memory or threads: the reader of the whole reads on as if there were no part.
      start_.store(kNoStart, std::memory_order_release);
      start_.notify_all();
      clean_ = false;
    }
  }

  void readPart() {
    std::uint64_t start = kNoStart;
    if (auto source = whole_.from(size_ / 2)) {
      // A few sections' worth is read at a time: a start is usually found in the first.
      constexpr std::size_t kStep = 64 * 1024;
      std::string window;
      for (std::size_t got = kStep; got == kStep && window.size() < kStartSearch;) {
        const std::size_t old = window.size();
        window.resize(old + kStep);
        got = source->read(window.data() + old, kStep);
        window.resize(old + got);
        if (const auto at = likelySectionStart(window, options_)) {
          start = size_ / 2 + *at;
          break;
        }
      }
    }
    start_.store(start, std::memory_order_release);
    start_.notify_all();
    if (start == kNoStart) return;
    const auto source = whole_.from(start);
    SectionReader reader(*source, options_, control_);
    const std::uint64_t end =
        start + reader.readPart(part_.sections, most_, block_, stop_, progress_);
    if (stop_.load(std::memory_order_relaxed)) return;
    part_.utf8 = reader.isValidUtf8();
    part_.titleBytes = reader.titleBytes();
    const auto rest = whole_.from(end);
    clean_ = rest && onlyBlanksIn(*rest);
  }

  // The store's block, which the fibers of both halves share.
  const std::shared_ptr<FiberBlock> block_;
  const ByteSource& whole_;
  const std::uint64_t size_;
  const ReadOptions& options_;
  const ReadControl& control_;
  const int most_;
  std::atomic<std::uint64_t> start_ = 0;
  std::atomic<std::uint64_t> progress_ = 0;
  std::atomic<bool> stop_ = false;
  Sections part_;
  bool clean_ = false;
  std::thread thread_;  // last, so that it starts after everything it uses is built
};

ReadError SectionReader::failed() const {
  const FieldError& f = fields_.error();
  return ReadError{.kind = f.kind,
                   .where = f.where,
                   .role = role_,
                   .section = section_,
                   .fiber = fiber_,
                   .value = value_,
                   .found = f.found,
                   .file = f.file};
}

template <typename Fiber>
bool SectionReader::readFibers(FiberList<Fiber>& fibers, std::size_t count, FiberEnds& ends) {
  fibers = FiberList<Fiber>(FiberAllocator<Fiber>(block_));
  fibers.resize(count);
  // The values go through a batch, so that the reader runs on for many fibers in one call
  // rather than stopping at each.
  constexpr std::size_t kValues = std::tuple_size_v<Fiber>;
  std::array<double, 256 * kValues> batch;
  std::size_t j = 0;
  const auto readUpTo = [&](std::size_t stop) {
    while (j < stop) {
      const std::size_t wanted = std::min(stop - j, batch.size() / kValues);
      const std::size_t got = fields_.readNumbers(batch.data(), wanted * kValues);
      // Fibers are plain arrays of doubles, so the whole fibers of a batch copy in one go.
      static_assert(sizeof(Fiber) == kValues * sizeof(double));
      std::memcpy(fibers.data() + j, batch.data(), got / kValues * sizeof(Fiber));
      if (got < wanted * kValues) {
        fiber_ = static_cast<int>(j + got / kValues) + 1;
        value_ = static_cast<int>(got % kValues) + 1;
        return false;
      }
      j += wanted;
    }
    return true;
  };
  // The first fiber, the last but one and the last are read apart, to note where each ends.
  const TextPosition start = fields_.position();
  if (!readUpTo(std::min<std::size_t>(count, 1))) return false;
  ends.first = fields_.position();
  if (count >= 2 && !readUpTo(count - 1)) return false;
  ends.lastButOne = count >= 2 ? fields_.position() : start;
  if (!readUpTo(count)) return false;
  ends.last = fields_.position();
  return true;
}

bool SectionReader::readSection(Section& s, bool withTitle) {
  if (withTitle) {
    role_ = FieldRole::Title;
    if (!fields_.readText(s.title)) return false;
    needed_ += s.title.size();
    titleAt_ = fields_.lastFieldStart();
  }

  role_ = FieldRole::Property;
  for (std::size_t v = 0; v < s.properties.size(); ++v) {
    value_ = static_cast<int>(v) + 1;
    // The third property is a plain number in every version.
    if (v == 2) {
      double number = 0.0;
      if (!fields_.readNumber(number)) return false;
      s.properties[v] = number;
    } else if (!fields_.readValue(s.properties[v])) {
      return false;
    }
  }

  s.ends.properties = fields_.position();

  role_ = FieldRole::ConcreteValue;
  const int concrete = options_.concreteCount;
  if (!readFibers(s.concrete, concrete > 0 ? static_cast<std::size_t>(concrete) : 0,
                  s.ends.concrete)) {
    return false;
  }
  role_ = FieldRole::SteelValue;
  if (!readFibers(s.steel, static_cast<std::size_t>(steelFibersToRead(options_.steelCount)),
                  s.ends.steel)) {
    return false;
  }
  fiber_ = 0;
  value_ = 0;
  return true;
}

std::vector<std::string_view> textsOf(const SectionStore& store) {
  std::vector<std::string_view> texts;
  for (const Section& s : store.sections) {
    texts.push_back(s.title);
    for (const Value& v : s.properties) {
      if (const auto* text = std::get_if<std::string>(&v)) texts.push_back(*text);
    }
  }
  return texts;
}

// Every text of the store through `convert`.
template <typename Convert>
void convertTexts(SectionStore& store, const Convert& convert) {
  for (Section& s : store.sections) {
    s.title = convert(s.title);
    for (Value& v : s.properties) {
      if (auto* text = std::get_if<std::string>(&v)) *text = convert(*text);
    }
  }
}

// The texts are judged together: one title of a few characters says little on its own.
void decodeTexts(SectionStore& store, bool fileIsUtf8) {
  const std::vector<std::string_view> texts = textsOf(store);
  if (fileIsUtf8 && plausiblyUtf8(texts)) return;
  if (!fileIsUtf8 && mostlyUtf8(texts)) {
    convertTexts(store, repairedUtf8);
  } else {
    convertTexts(store, gb18030ToUtf8);
  }
}

bool SectionReader::cancelled() const {
  return control_.feedback != nullptr && control_.feedback->isCancelled();
}

// Takes the part's sections as sections `from` + 1 on, when they are all that is left.
bool SectionReader::takePart(PartRead& part, SectionStore& store, std::size_t from) {
  std::optional<PartRead::Sections> rest = part.finish();
  if (!rest || rest->sections.size() != store.sections.size() - from) return false;
  // Past the budget, reading on gives the failure at the title that crosses it.
  if (budget_ != 0 && needed_ + rest->titleBytes > budget_) return false;
  // The part's lines count from its first; it begins a line of the file.
  const long long shift = fields_.position().line - 1;
  const auto move = [shift](TextPosition& p) {
    if (p.line != 0) p.line += shift;
  };
  for (std::size_t k = 0; k < rest->sections.size(); ++k) {
    Section& s = store.sections[from + k];
    s = std::move(rest->sections[k]);
    move(s.ends.properties);
    for (FiberEnds* e : {&s.ends.concrete, &s.ends.steel}) {
      move(e->first);
      move(e->lastButOne);
      move(e->last);
    }
  }
  partTaken_ = true;
  partUtf8_ = rest->utf8;
  return true;
}

std::uint64_t SectionReader::readPart(std::vector<Section>& sections, int most,
                                      std::shared_ptr<FiberBlock> block,
                                      const std::atomic<bool>& stop,
                                      std::atomic<std::uint64_t>& progress) {
  block_ = std::move(block);
  std::uint64_t end = 0;
  while (static_cast<int>(sections.size()) < most && !stop.load(std::memory_order_relaxed) &&
         !cancelled()) {
    Section s;
    ++section_;
    if (!readSection(s, options_.titled())) break;
    end = fields_.bytesConsumed();
    progress.store(end, std::memory_order_relaxed);
    sections.push_back(std::move(s));
  }
  return end;
}

void SectionReader::reportProgress(std::uint64_t elsewhere) {
  const std::uint64_t done = fields_.bytesConsumed() + elsewhere;
  if (done < nextReport_) return;
  nextReport_ = done + std::max<std::uint64_t>(total_ / 256, 1);
  control_.feedback->setProgress(done, total_);
}

ReadResult SectionReader::run() {
  const int concrete = options_.concreteCount;
  const int steel = steelFibersToRead(options_.steelCount);
  if (concrete > kMaxFibers || steel > kMaxFibers) {
    return ReadError{.kind = ReadFailure::TooManyFibers, .limit = kMaxFibers};
  }

  role_ = FieldRole::SectionCount;
  std::int16_t count = 0;
  if (!fields_.readInt16(count)) return failed();
  const TextPosition countAt = fields_.lastFieldStart();
  const bool withTitle = options_.titled();
  if (count < 0) {
    return ReadError{.kind = ReadFailure::NegativeSectionCount,
                     .where = countAt,
                     .role = role_,
                     .found = std::to_string(count)};
  }
  budget_ = control_.memoryBudget != 0 ? control_.memoryBudget : readMemoryBudget();
  needed_ = storeBytes(count, std::max(concrete, 0), steel);
  if (budget_ != 0 && needed_ > budget_) {
    return ReadError{.kind = ReadFailure::MemoryBudget,
                     .where = countAt,
                     .role = role_,
                     .found = std::to_string(count),
                     .memoryNeeded = needed_,
                     .memoryBudget = budget_};
  }

  SectionStore store;
  store.version = options_.version;
  store.titled = withTitle;
  store.sections.resize(static_cast<std::size_t>(count));
  // The fibers of a large store share one block; the records and titles stay on the heap.
  const std::size_t fiberBytes =
      static_cast<std::size_t>(std::max(concrete, 0)) * sizeof(ConcreteFiber) +
      static_cast<std::size_t>(steel) * sizeof(SteelFiber);
  block_ = FiberBlock::reserve(static_cast<std::size_t>(count) * fiberBytes);
  // Declared after the store, so that its thread has stopped before the store goes.
  std::optional<PartRead> part;
  const std::uint64_t splitFrom = control_.splitFrom != 0 ? control_.splitFrom : kSplitReadFrom;
  if (total_ >= splitFrom && count >= 2 &&
      (control_.splitFrom != 0 || std::thread::hardware_concurrency() >= 2)) {
    part.emplace(source_, total_, options_, control_, count, block_);
  }
  for (std::size_t k = 0; k < store.sections.size(); ++k) {
    if (part) {
      const std::uint64_t here = fields_.bytesConsumed();
      const std::uint64_t start = part->start(here);
      if (here == start && takePart(*part, store, k)) {
        break;
      }
      if (start == PartRead::kNoStart || (start != 0 && here >= start)) part.reset();
    }
    if (cancelled()) return ReadError{.kind = ReadFailure::Cancelled};
    if (control_.feedback != nullptr) reportProgress(part ? part->bytesRead() : 0);
    Section& s = store.sections[k];
    ++section_;
    if (!readSection(s, withTitle)) return failed();
    if (budget_ != 0 && needed_ > budget_) {
      // Only titles grow the store beyond what the count promised.
      return ReadError{.kind = ReadFailure::MemoryBudget,
                       .where = titleAt_,
                       .role = FieldRole::Title,
                       .section = section_,
                       .memoryNeeded = needed_,
                       .memoryBudget = budget_};
    }
  }
  role_ = FieldRole::None;
  section_ = 0;
  // The encoding is decided by the bytes read so far, which hold every text, before any
  // byte after the last section is looked at: a huge tail must not stall the window.
  const bool utf8 = fields_.isValidUtf8() && partUtf8_;
  // Fields after the last section are ignored, but the window tells the user about them.
  if (!partTaken_ && fields_.skipBlanksAndLineEnds()) store.leftoverAt = fields_.position();
  if (fields_.error().kind != ReadFailure::None) return failed();
  decodeTexts(store, utf8);
  return store;
}

}  // namespace

std::optional<std::size_t> likelySectionStart(std::string_view bytes, const ReadOptions& options) {
  const int concrete = std::max<int>(options.concreteCount, 0);
  const int steel = steelFibersToRead(options.steelCount);
  if (concrete == 0 && steel == 0) return std::nullopt;
  // A section follows the last line of the one before and precedes its first fiber's.
  const int before = steel > 0 ? static_cast<int>(std::tuple_size_v<SteelFiber>)
                               : static_cast<int>(std::tuple_size_v<ConcreteFiber>);
  const int firstFiber = concrete > 0 ? static_cast<int>(std::tuple_size_v<ConcreteFiber>)
                                      : static_cast<int>(std::tuple_size_v<SteelFiber>);
  const auto fieldsOn = [](std::string_view line) {
    int fields = 0;
    bool inField = false;
    for (const char c : line) {
      const bool apart = c == ' ' || c == '\t' || c == ',' || c == '\r';
      fields += !apart && !inField ? 1 : 0;
      inField = !apart;
    }
    return fields;
  };
  // The fields of each line looked at, the newest last, and where each line begins.
  const std::array<int, 4> pattern = options.titled()
                                         ? std::array<int, 4>{before, -1, 3, firstFiber}
                                         : std::array<int, 4>{-1, before, 3, firstFiber};
  std::array<int, 4> fields{-2, -2, -2, -2};
  std::array<std::size_t, 4> starts{};
  // The first line may be cut by the middle of the file, and the last by the end of `bytes`.
  std::size_t end = bytes.find('\n');
  while (end != std::string_view::npos) {
    const std::size_t start = end + 1;
    end = bytes.find('\n', start);
    if (end == std::string_view::npos) break;
    std::rotate(fields.begin(), fields.begin() + 1, fields.end());
    std::rotate(starts.begin(), starts.begin() + 1, starts.end());
    fields[3] = fieldsOn(bytes.substr(start, end - start));
    starts[3] = start;
    bool fits = true;
    for (std::size_t k = 0; k < 4; ++k) fits = fits && (pattern[k] < 0 || pattern[k] == fields[k]);
    // The section's first line, where a title stands, or the properties.
    const std::size_t first = options.titled() ? starts[1] : starts[2];
    // A reader that begins there must not take its bytes for a byte order mark.
    const auto lead = static_cast<unsigned char>(bytes[first]);
    if (fits && fields[1] > 0 && lead != 0xEF && lead != 0xFE && lead != 0xFF) return first;
  }
  return std::nullopt;
}

std::uint64_t storeBytes(int sections, int concrete, int steel) {
  const auto perFiberSet = static_cast<std::uint64_t>(concrete) * sizeof(ConcreteFiber) +
                           static_cast<std::uint64_t>(steel) * sizeof(SteelFiber);
  return static_cast<std::uint64_t>(sections) * (perFiberSet + sizeof(Section));
}

std::uint64_t readMemoryBudget() {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> meminfo(std::fopen("/proc/meminfo", "re"),
                                                                &std::fclose);
  if (!meminfo) return 0;
  constexpr std::string_view kKey = "MemAvailable:";
  char line[256];
  while (std::fgets(line, sizeof line, meminfo.get()) != nullptr) {
    const std::string_view text(line);
    if (text.substr(0, kKey.size()) != kKey) continue;
    const std::size_t digits = text.find_first_not_of(' ', kKey.size());
    std::uint64_t kib = 0;
    if (digits == std::string_view::npos) return 0;
    std::from_chars(text.data() + digits, text.data() + text.size(), kib);
    return kib * 1024 / 4 * 3;
  }
  return 0;
}

ReadResult readSections(ByteSource& source, const ReadOptions& options,
                        const ReadControl& control) {
  return SectionReader(source, options, control).run();
}

ReadResult readSectionFile(const std::string& path, const ReadOptions& options,
                           const ReadControl& control) {
  const auto opened = openFile(path);
  if (const auto* error = std::get_if<FileError>(&opened)) {
    return ReadError{.kind = ReadFailure::File, .file = *error};
  }
  const OpenedFile& file = std::get<OpenedFile>(opened);
  FileSource source(file.file.get(), file.size);
  return readSections(source, options, control);
}

}  // namespace fiberview
