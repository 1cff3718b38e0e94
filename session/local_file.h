// A local file at one end of a transfer, through ACE's file classes.
#pragma once

#include <ace/FILE_IO.h>

#include <cstddef>
#include <cstdint>

namespace zavel {

class LocalFile {
 public:
  enum class Mode {
    kRead,           // existing file, read only
    kWrite,          // created when missing, contents kept
    kWriteTruncate,  // created when missing, emptied
  };

  LocalFile() = default;
  ~LocalFile() { close(); }
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Opens the named file and places its pointer at position. False when it cannot be
  // opened or the pointer does not land exactly there (the file is then closed).
  bool open(const char* name, Mode mode, uint64_t position);
  // At most size bytes at the pointer: the count, 0 at the end of the file, -1 on error.
  int64_t read(void* data, size_t size);
  // All size bytes at the pointer; false when they were not all written.
  bool write(const void* data, size_t size);
  void close();
  bool isOpen() const { return io_.get_handle() != ACE_INVALID_HANDLE; }

 private:
  ACE_FILE_IO io_;
};

}  // namespace zavel
