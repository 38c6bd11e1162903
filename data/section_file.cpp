#include "data/section_file.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "data/text_encoding.h"

namespace fiberview {

namespace {

// Follows the reader through the file so that a failure can say what was being read.
class SectionReader {
 public:
  SectionReader(ByteSource& source, const ReadOptions& options, const ReadControl& control)
      : fields_(source), options_(options), control_(control), total_(source.size()) {}

  ReadResult run();

 private:
  ReadError failed() const;
  bool readSection(Section& section, bool withTitle);
  template <typename Fiber>
  bool readFibers(FiberList<Fiber>& fibers, std::size_t count, FiberEnds& ends);
  void convertTextsFromGb18030(SectionStore& store) const;
  bool cancelled() const;
  void reportProgress();

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

// The texts are judged together: one title of a few characters says little on its own.
bool textsPlausiblyUtf8(const SectionStore& store) {
  std::vector<std::string_view> texts;
  for (const Section& s : store.sections) {
    texts.push_back(s.title);
    for (const Value& v : s.properties) {
      if (const auto* text = std::get_if<std::string>(&v)) texts.push_back(*text);
    }
  }
  return plausiblyUtf8(texts);
}

void SectionReader::convertTextsFromGb18030(SectionStore& store) const {
  const auto convertValue = [](Value& v) {
    if (auto* text = std::get_if<std::string>(&v)) *text = gb18030ToUtf8(*text);
  };
  for (Section& s : store.sections) {
    s.title = gb18030ToUtf8(s.title);
    for (Value& v : s.properties) convertValue(v);
  }
}

bool SectionReader::cancelled() const {
  return control_.feedback != nullptr && control_.feedback->isCancelled();
}

void SectionReader::reportProgress() {
  const std::uint64_t done = fields_.bytesConsumed();
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
  for (Section& s : store.sections) {
    if (cancelled()) return ReadError{.kind = ReadFailure::Cancelled};
    if (control_.feedback != nullptr) reportProgress();
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
  const bool utf8 = fields_.isValidUtf8();
  // Fields after the last section are ignored, but the window tells the user about them.
  if (fields_.skipBlanksAndLineEnds()) store.leftoverAt = fields_.position();
  if (fields_.error().kind != ReadFailure::None) return failed();
  if (!utf8 || !textsPlausiblyUtf8(store)) convertTextsFromGb18030(store);
  return store;
}

}  // namespace

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
