// The framed message: a 16-byte header and a body holding one record's entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/param_record.h"

namespace zavel {

constexpr size_t kHeaderSize = 16;
constexpr uint32_t kMaxBodyLength = 16777216;  // 0x1000000

// Result codes of the framing operations.
enum FramingResult : int {
  kFrameTooShort = -1,
  kFrameBadMagic = -2,
  kFrameBadLength = -4,
  kFrameBadChecksum = -5,
  kFrameTruncated = -6,
  kFrameBadBody = -7,
};

// Bytes needed for the header and the binary body of the record.
size_t encodedSize(const ParamRecord& record);

// Writes header and body; returns 16 + body length, or -1 when the capacity is short or
// the body would exceed kMaxBodyLength (no peer could accept it).
int64_t encodeMessage(const ParamRecord& record, uint8_t* out, size_t capacity);

// Body length announced by a header, or -1 when the magic is wrong.
int64_t peekBodyLength(const uint8_t* header);

// Takes the body format and flags of the header into the record and checks it.
// 0, or kFrameBadMagic, kFrameBadLength, kFrameBadChecksum.
int readHeader(ParamRecord& record, const uint8_t* header, uint32_t* body_length);

// Clears the record and decodes a whole message into it; returns 16 + body length or a
// negative FramingResult. Entries parsed before a body failure stay in the record.
int64_t decodeMessage(ParamRecord& record, const uint8_t* buffer, size_t size);

// Internet checksum of header bytes 0 to 11, read in the byte order of the record's
// body format.
uint16_t headerChecksum(const ParamRecord& record, const uint8_t* header12);

// Body parsers, exposed for the tests and fuzz targets. True on success.
bool parseBinaryBody(ParamRecord& record, const uint8_t* body, size_t size);
bool parseTextBody(ParamRecord& record, const uint8_t* body, size_t size);

}  // namespace zavel
