#include "session/local_file.h"

#include <ace/FILE_Addr.h>
#include <ace/FILE_Connector.h>
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace zavel {

bool LocalFile::open(const char* name, Mode mode, uint64_t position) {
  close();
  // ACE_FILE_Addr cuts longer names to its buffer, which would open some other file.
  if (name == nullptr || *name == '\0' || strlen(name) > MAXPATHLEN) return false;
  if (position > static_cast<uint64_t>(std::numeric_limits<ACE_OFF_T>::max())) return false;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kWrite:
      flags |= O_WRONLY | O_CREAT;
      break;
    case Mode::kWriteTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
  }
  ACE_FILE_Connector connector;
  if (connector.connect(io_, ACE_FILE_Addr(name), nullptr, ACE_Addr::sap_any, 0, flags, 0666) !=
      0) {
    io_.set_handle(ACE_INVALID_HANDLE);
    return false;
  }
  const auto wanted = static_cast<ACE_OFF_T>(position);
  if (io_.seek(wanted, SEEK_SET) != wanted) {
    close();
    return false;
  }
  return true;
}

int64_t LocalFile::read(void* data, size_t size) {
  for (;;) {
    const ssize_t n = io_.recv(data, size);
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? -1 : static_cast<int64_t>(n);
  }
}

bool LocalFile::write(const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = io_.send(bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void LocalFile::close() {
  if (!isOpen()) return;
  io_.close();
  io_.set_handle(ACE_INVALID_HANDLE);
}

}  // namespace zavel
