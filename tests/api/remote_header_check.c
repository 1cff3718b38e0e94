/* The public header from C, after <sys/stat.h>: its st_atime-style macros must not reach
 * the stat record. */
#include <stddef.h>
#include <sys/stat.h>

#include "zavelsdk.h"

size_t remoteStatRecordSizeInC(void) {
  return sizeof(RStatRecord);
}

size_t remoteStatTimesOffsetInC(void) {
  return offsetof(RStatRecord, st_atime32);
}

int64_t remoteStatSumInC(const RStatRecord* st) {
  struct stat local;
  local.st_atime = st->st_atime32; /* the system's macro still works beside ours */
  return (int64_t)local.st_atime + st->st_mtime32 + st->st_ctime32;
}
