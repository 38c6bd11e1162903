// Opens a fiber data file for the reader and the detector alike, and names what can go wrong
// with the file itself: opening it, or the system's reading of it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <variant>

namespace fiberview {

// Why a file could not be opened or read.
enum class FileFailure {
  CannotOpen,  // the system refused it; systemError tells why (EISDIR for a folder)
  NotAFile,    // a device, a pipe or a socket rather than a file
  ReadFailed,  // the system could not read it; systemError tells why
};

struct FileError {
  FileFailure kind = FileFailure::CannotOpen;
  int systemError = 0;  // the errno, or 0 where the system gave none
};

struct OpenedFile {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
  std::uint64_t size = 0;  // bytes, as the system gave it on opening
};

// Opens `path` (in the system's encoding) for reading. Only a regular file opens; anything
// else is refused at once, without waiting, as a pipe would wait for a writer.
std::variant<OpenedFile, FileError> openFile(const std::string& path);

}  // namespace fiberview
