#include "api/ordinals.h"

namespace zavel {

namespace {

template <typename F>
zavel_proc proc(F* f) {
  return reinterpret_cast<zavel_proc>(f);
}

#define ZAVEL_ORDINAL(n, fn) \
  { n, #fn, proc(&fn) }

const ExportOrdinal kOrdinals[] = {
    ZAVEL_ORDINAL(1, zavel_GetLastError),  ZAVEL_ORDINAL(2, zavel_SetLastError),
    ZAVEL_ORDINAL(3, zavel_GetLastErrStr), ZAVEL_ORDINAL(4, zavel_SetLastErrStr),
    ZAVEL_ORDINAL(5, zavel_FormatMessage), ZAVEL_ORDINAL(119, RSet_LastErrorNo),
    ZAVEL_ORDINAL(120, RGet_LastErrorNo),
};

#undef ZAVEL_ORDINAL

}  // namespace

std::span<const ExportOrdinal> exportOrdinals() {
  return kOrdinals;
}

}  // namespace zavel

extern "C" zavel_proc zavel_GetExportByOrdinal(int ordinal) {
  for (const zavel::ExportOrdinal& e : zavel::exportOrdinals()) {
    if (e.ordinal == ordinal) return e.proc;
  }
  return nullptr;
}
