#include "api/remote_handles.h"

namespace zavel {

// Built on first use, so calls made during another library's start-up find them.
HandleList<RFileHandle>& openFiles() {
  static HandleList<RFileHandle> list;
  return list;
}

HandleList<RDirHandle>& openDirs() {
  static HandleList<RDirHandle> list;
  return list;
}

HandleList<RStreamHandle>& openStreams() {
  static HandleList<RStreamHandle> list;
  return list;
}

}  // namespace zavel
