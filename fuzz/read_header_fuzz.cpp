// Feeds arbitrary 16-byte headers to the header checks.
#include <cstddef>
#include <cstdint>

#include "protocol/framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zavel;
  if (size < kHeaderSize + 1) return 0;
  ParamRecord record;
  record.setBodyFormat(static_cast<uint16_t>(data[0] % 4));
  uint32_t length = 0;
  const int rc = readHeader(record, data + 1, &length);
  if (rc == 0 && length > kMaxBodyLength) __builtin_trap();
  const int64_t peek = peekBodyLength(data + 1);
  if (rc == 0 && peek < 0) __builtin_trap();
  return 0;
}
