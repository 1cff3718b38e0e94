// The fixed ordinal of every export: one table, so binding by ordinal stays stable.
#pragma once

#include <span>

#include "zavelsdk.h"

namespace zavel {

struct ExportOrdinal {
  int ordinal;
  const char* name;
  zavel_proc proc;
};

std::span<const ExportOrdinal> exportOrdinals();

}  // namespace zavel
