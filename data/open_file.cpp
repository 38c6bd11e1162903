#include "data/open_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace fiberview {

std::variant<OpenedFile, FileError> openFile(const std::string& path) {
  // Non-blocking, so that a pipe chosen by mistake is refused instead of hanging the window
  // until something writes to it; for a regular file the flag changes nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FileError{.kind = FileFailure::CannotOpen, .systemError = errno};
  const auto refuse = [fd](FileError e) {
    ::close(fd);
    return e;
  };
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    return refuse({.kind = FileFailure::CannotOpen, .systemError = errno});
  if (S_ISDIR(info.st_mode))
    return refuse({.kind = FileFailure::CannotOpen, .systemError = EISDIR});
  if (!S_ISREG(info.st_mode)) return refuse({.kind = FileFailure::NotAFile});
  OpenedFile opened;
  opened.file.reset(::fdopen(fd, "rb"));
  if (!opened.file) return refuse({.kind = FileFailure::CannotOpen, .systemError = errno});
  opened.size = static_cast<std::uint64_t>(info.st_size);
  return opened;
}

}  // namespace fiberview
