// A parameter record: the named, typed values of one request or reply.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zavel {

// Value type codes as they travel on the wire.
enum ValueType : uint32_t {
  kTypeUntyped = 0,
  kTypeInt8 = 10,
  kTypeInt16 = 11,
  kTypeInt32 = 12,
  kTypeInt64 = 13,
  kTypeUInt8 = 20,
  kTypeUInt16 = 21,
  kTypeUInt32 = 22,
  kTypeUInt64 = 23,
  kTypeString = 30,
  kTypeBinary = 40,
};

// Body formats: how values are laid out in a message body.
enum BodyFormat : uint16_t {
  kBodyUntyped = 1,
  kBodyTypedLittle = 2,
  kBodyTypedNetwork = 3,
};

// Construction flags (and header flag bits).
constexpr uint32_t kFlagTextBody = 1u << 0;
constexpr uint32_t kFlagScramble = 1u << 1;
constexpr uint32_t kFlagSpare = 1u << 2;

// Longest name a record holds (its length travels as a signed 16-bit count).
constexpr size_t kMaxNameLength = 32767;

// One stored value: a private copy of the bytes, their count and their type code. The copy
// carries one hidden NUL after the counted bytes, so a value read as text (a received
// string without its NUL, raw untyped bytes) always ends inside the copy.
class ParamValue {
 public:
  ParamValue(const void* data, uint32_t length, uint32_t type);

  const uint8_t* data() const { return bytes_.data(); }
  uint32_t length() const { return static_cast<uint32_t>(bytes_.size() - 1); }
  uint32_t type() const { return type_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t type_;
};

// Ordered map from unique, case-sensitive names to values. Names compare as unsigned
// bytes (std::string's ordering), which is also the order entries go out on the wire.
class ParamRecord {
 public:
  using Entries = std::map<std::string, ParamValue>;

  explicit ParamRecord(uint32_t flags = 0);
  virtual ~ParamRecord();

  ParamRecord(const ParamRecord&) = default;
  ParamRecord& operator=(const ParamRecord&) = default;

  // Removes every entry; body format and flags stay.
  void clear();

  // Stores a copy of the bytes under the name, replacing an entry of that name. Does
  // nothing when the name or data is null, the length is 0, or the name is empty or
  // longer than kMaxNameLength.
  void set(const char* name, const void* data, uint32_t length, uint32_t type);
  void setString(const char* name, const char* text);
  void setBinary(const char* name, const void* data, uint32_t length);
  void setInt32(const char* name, int32_t value);
  void setInt64(const char* name, int64_t value);
  void setUInt32(const char* name, uint32_t value);
  void setUInt64(const char* name, uint64_t value);

  bool remove(const char* name);

  // Getters report whether the name was found and leave their outputs untouched when it
  // was not. Pointers handed out point into the record and live until the entry changes.
  bool find(const char* name, const void** data, uint32_t* length, uint32_t* type) const;
  bool getString(const char* name, const char** text) const;
  bool getBinary(const char* name, const void** data, uint32_t* length) const;
  bool getBinaryVector(const char* name, std::vector<uint8_t>* out) const;
  bool getInt32(const char* name, int32_t* value) const;
  bool getUInt32(const char* name, uint32_t* value) const;
  bool getInt64(const char* name, int64_t* value) const;
  bool getUInt64(const char* name, uint64_t* value) const;

  bool has(const char* name) const { return lookup(name) != nullptr; }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entries& entries() const { return entries_; }

  uint16_t bodyFormat() const { return body_format_; }
  void setBodyFormat(uint16_t format) { body_format_ = format; }

  bool textBody() const { return flags_ & kFlagTextBody; }
  bool scrambled() const { return flags_ & kFlagScramble; }
  bool spare() const { return flags_ & kFlagSpare; }
  uint32_t flags() const { return flags_; }
  void setFlags(uint32_t flags) { flags_ = flags & (kFlagTextBody | kFlagScramble | kFlagSpare); }

 private:
  const ParamValue* lookup(const char* name) const;
  uint32_t get32(const ParamValue& v) const;
  uint64_t get64(const ParamValue& v) const;

  Entries entries_;
  uint16_t body_format_ = kBodyTypedNetwork;
  uint32_t flags_ = 0;
};

// Reads a text as a number the way string values are read: only decimal digits count,
// anything else gives 0. Digit strings beyond 64 bits saturate at UINT64_MAX.
uint64_t decimalTextValue(const char* text, size_t length);

}  // namespace zavel
