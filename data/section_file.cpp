#include "data/section_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "data/text_encoding.h"

namespace fiberview {

namespace {

// Follows the reader through the file so that a failure can say what was being read.
class SectionReader {
 public:
  SectionReader(ByteSource& source, const ReadOptions& options)
      : fields_(source), options_(options) {}

  ReadResult run();

 private:
  ReadError failed() const;
  ReadError failedAt(ReadFailure kind, TextPosition where, std::string found, int limit) const;
  bool readSection(Section& section, bool withTitle);
  template <typename Fiber>
  bool readFibers(std::vector<Fiber>& fibers, std::size_t count);
  void convertTextsFromGb18030(SectionStore& store) const;

  FieldReader fields_;
  const ReadOptions& options_;
  FieldRole role_ = FieldRole::None;
  int section_ = 0;
  int fiber_ = 0;
  int value_ = 0;
};

ReadError SectionReader::failedAt(ReadFailure kind, TextPosition where, std::string found,
                                  int limit) const {
  ReadError e;
  e.kind = kind;
  e.where = where;
  e.role = role_;
  e.section = section_;
  e.fiber = fiber_;
  e.value = value_;
  e.found = std::move(found);
  e.limit = limit;
  return e;
}

ReadError SectionReader::failed() const {
  const FieldError& f = fields_.error();
  ReadError e = failedAt(f.kind, f.where, f.found, 0);
  e.systemError = f.systemError;
  return e;
}

template <typename Fiber>
bool SectionReader::readFibers(std::vector<Fiber>& fibers, std::size_t count) {
  fibers.resize(count);
  for (std::size_t j = 0; j < count; ++j) {
    fiber_ = static_cast<int>(j) + 1;
    for (std::size_t v = 0; v < fibers[j].size(); ++v) {
      value_ = static_cast<int>(v) + 1;
      if (!fields_.readNumber(fibers[j][v])) return false;
    }
  }
  return true;
}

bool SectionReader::readSection(Section& s, bool withTitle) {
  if (withTitle) {
    role_ = FieldRole::Title;
    if (!fields_.readText(s.title)) return false;
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

  role_ = FieldRole::ConcreteValue;
  const int concrete = options_.concreteCount;
  if (!readFibers(s.concrete, concrete > 0 ? static_cast<std::size_t>(concrete) : 0)) {
    return false;
  }
  role_ = FieldRole::SteelValue;
  if (!readFibers(s.steel, static_cast<std::size_t>(steelFibersToRead(options_.steelCount)))) {
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

ReadResult SectionReader::run() {
  const int concrete = options_.concreteCount;
  const int steel = steelFibersToRead(options_.steelCount);
  if (concrete > kMaxFibers || steel > kMaxFibers) {
    return failedAt(ReadFailure::TooManyFibers, {}, {}, kMaxFibers);
  }

  role_ = FieldRole::SectionCount;
  std::int16_t count = 0;
  if (!fields_.readInt16(count)) return failed();
  const TextPosition countAt = fields_.lastFieldStart();
  const bool withTitle = options_.titled();
  const int limit = describe(options_.version).sectionLimit(withTitle);
  if (count < 0) {
    return failedAt(ReadFailure::NegativeSectionCount, countAt, std::to_string(count), 0);
  }
  if (count > limit) {
    return failedAt(ReadFailure::TooManySections, countAt, std::to_string(count), limit);
  }

  SectionStore store;
  store.version = options_.version;
  store.titled = withTitle;
  store.sections.resize(static_cast<std::size_t>(count));
  for (Section& s : store.sections) {
    ++section_;
    if (!readSection(s, withTitle)) return failed();
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

ReadResult readSections(ByteSource& source, const ReadOptions& options) {
  return SectionReader(source, options).run();
}

ReadResult readSectionFile(const std::string& path, const ReadOptions& options) {
  const auto cannotOpen = [](ReadFailure kind, int err) {
    ReadError e;
    e.kind = kind;
    e.systemError = err;
    return e;
  };
  // Non-blocking, so that a pipe chosen by mistake is refused instead of hanging the window
  // until something writes to it; for a regular file the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return cannotOpen(ReadFailure::CannotOpen, errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int err = S_ISDIR(info.st_mode) ? EISDIR : 0;
    ::close(fd);
    return cannotOpen(err == EISDIR ? ReadFailure::CannotOpen : ReadFailure::NotAFile, err);
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
  if (!file) {
    const int err = errno;
    ::close(fd);
    return cannotOpen(ReadFailure::CannotOpen, err);
  }
  FileSource source(file.get());
  return readSections(source, options);
}

}  // namespace fiberview
