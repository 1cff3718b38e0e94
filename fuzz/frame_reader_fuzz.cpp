// The program's receive step: arbitrary bytes, fed in arbitrary pieces, cut into messages
// whose headers and bodies are then read the way the authentication client reads them.
#include <cstddef>
#include <cstdint>

#include "client/frame_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the piece size, so splits are explored too.
  const size_t piece = 1 + data[0] % 64;
  ++data;
  --size;
  zavel::client::FrameReader reader;
  zavel::portal::PortalMessage message;
  for (size_t at = 0; at < size; at += piece) {
    reader.append(data + at, size - at < piece ? size - at : piece);
    for (;;) {
      const auto next = reader.next(&message);
      if (next != zavel::client::FrameReader::Next::kMessage) break;
      zavel::portal::FormMap header, text;
      zavel::portal::ValueMap values;
      message.parseHeader(&header);
      if (!message.parseTextBody(&text)) message.parseValueBody(&values);
    }
  }
  return 0;
}
