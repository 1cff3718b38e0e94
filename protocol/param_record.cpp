#include "protocol/param_record.h"

#include <cstring>
#include <iterator>
#include <limits>

namespace zavel {

ParamValue::ParamValue(const void* data, uint32_t length, uint32_t type)
    : bytes_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + length),
      type_(type) {
  bytes_.push_back(0);
}

ParamRecord::ParamRecord(uint32_t flags) {
  setFlags(flags);
}

ParamRecord::~ParamRecord() {
  clear();
}

void ParamRecord::clear() {
  entries_.clear();
}

void ParamRecord::set(const char* name, const void* data, uint32_t length, uint32_t type) {
  if (name == nullptr || data == nullptr || length == 0) return;
  const size_t name_length = strnlen(name, kMaxNameLength + 1);
  if (name_length == 0 || name_length > kMaxNameLength) return;
  std::string key(name, name_length);
  // Received and built records mostly arrive in name order: try the end first.
  auto hint = entries_.end();
  if (!entries_.empty() && std::prev(hint)->first < key) {
    entries_.emplace_hint(hint, std::move(key), ParamValue(data, length, type));
    return;
  }
  auto it = entries_.lower_bound(key);
  if (it != entries_.end() && it->first == key) {
    it->second = ParamValue(data, length, type);
  } else {
    entries_.emplace_hint(it, std::move(key), ParamValue(data, length, type));
  }
}

void ParamRecord::setString(const char* name, const char* text) {
  if (text == nullptr) return;
  const size_t n = strlen(text) + 1;
  if (n > std::numeric_limits<uint32_t>::max()) return;
  set(name, text, static_cast<uint32_t>(n), kTypeString);
}

void ParamRecord::setBinary(const char* name, const void* data, uint32_t length) {
  set(name, data, length, kTypeBinary);
}

void ParamRecord::setInt32(const char* name, int32_t value) {
  set(name, &value, sizeof value, kTypeInt32);
}

void ParamRecord::setInt64(const char* name, int64_t value) {
  set(name, &value, sizeof value, kTypeInt64);
}

void ParamRecord::setUInt32(const char* name, uint32_t value) {
  set(name, &value, sizeof value, kTypeUInt32);
}

void ParamRecord::setUInt64(const char* name, uint64_t value) {
  set(name, &value, sizeof value, kTypeUInt64);
}

bool ParamRecord::remove(const char* name) {
  if (name == nullptr) return false;
  return entries_.erase(name) > 0;
}

const ParamValue* ParamRecord::lookup(const char* name) const {
  if (name == nullptr) return nullptr;
  auto it = entries_.find(name);
  return it == entries_.end() ? nullptr : &it->second;
}

bool ParamRecord::find(const char* name, const void** data, uint32_t* length,
                       uint32_t* type) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (data) *data = v->data();
  if (length) *length = v->length();
  if (type) *type = v->type();
  return true;
}

bool ParamRecord::getString(const char* name, const char** text) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (text == nullptr) return true;
  const bool as_text = v->type() == kTypeString || body_format_ == kBodyUntyped;
  *text = as_text ? reinterpret_cast<const char*>(v->data()) : "";
  return true;
}

bool ParamRecord::getBinary(const char* name, const void** data, uint32_t* length) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (data) *data = v->data();
  if (length) *length = v->length();
  return true;
}

bool ParamRecord::getBinaryVector(const char* name, std::vector<uint8_t>* out) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (out) out->assign(v->data(), v->data() + v->length());
  return true;
}

uint64_t decimalTextValue(const char* text, size_t length) {
  uint64_t value = 0;
  bool saturated = false;
  for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) saturated = true;
    if (!saturated) value = value * 10 + digit;
  }
  return saturated ? std::numeric_limits<uint64_t>::max() : value;
}

namespace {

// Copies up to n stored bytes into a zero-filled integer, never reading past them.
template <typename T>
T leadingBytes(const ParamValue& v) {
  T out = 0;
  memcpy(&out, v.data(), v.length() < sizeof(T) ? v.length() : sizeof(T));
  return out;
}

}  // namespace

uint32_t ParamRecord::get32(const ParamValue& v) const {
  switch (v.type()) {
    case kTypeInt8:
      return static_cast<uint32_t>(static_cast<int32_t>(leadingBytes<int8_t>(v)));
    case kTypeInt16:
      return static_cast<uint32_t>(static_cast<int32_t>(leadingBytes<int16_t>(v)));
    case kTypeUInt8:
      return leadingBytes<uint8_t>(v);
    case kTypeUInt16:
      return leadingBytes<uint16_t>(v);
    case kTypeInt32:
    case kTypeUInt32:
      return leadingBytes<uint32_t>(v);
    case kTypeInt64:
    case kTypeUInt64:
      return static_cast<uint32_t>(leadingBytes<uint64_t>(v));
    case kTypeString:
      return static_cast<uint32_t>(
          decimalTextValue(reinterpret_cast<const char*>(v.data()), v.length()));
    default:
      return leadingBytes<uint32_t>(v);
  }
}

uint64_t ParamRecord::get64(const ParamValue& v) const {
  switch (v.type()) {
    case kTypeInt8:
      return static_cast<uint64_t>(static_cast<int64_t>(leadingBytes<int8_t>(v)));
    case kTypeInt16:
      return static_cast<uint64_t>(static_cast<int64_t>(leadingBytes<int16_t>(v)));
    case kTypeInt32:
      return static_cast<uint64_t>(static_cast<int64_t>(leadingBytes<int32_t>(v)));
    case kTypeUInt8:
      return leadingBytes<uint8_t>(v);
    case kTypeUInt16:
      return leadingBytes<uint16_t>(v);
    case kTypeUInt32:
      return leadingBytes<uint32_t>(v);
    case kTypeInt64:
    case kTypeUInt64:
      return leadingBytes<uint64_t>(v);
    case kTypeString:
      return decimalTextValue(reinterpret_cast<const char*>(v.data()), v.length());
    default:
      if (body_format_ == kBodyUntyped) {
        return static_cast<uint64_t>(static_cast<int64_t>(leadingBytes<int32_t>(v)));
      }
      return leadingBytes<uint64_t>(v);
  }
}

bool ParamRecord::getInt32(const char* name, int32_t* value) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (value) *value = static_cast<int32_t>(get32(*v));
  return true;
}

bool ParamRecord::getUInt32(const char* name, uint32_t* value) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (value) *value = get32(*v);
  return true;
}

bool ParamRecord::getInt64(const char* name, int64_t* value) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (value) *value = static_cast<int64_t>(get64(*v));
  return true;
}

bool ParamRecord::getUInt64(const char* name, uint64_t* value) const {
  const ParamValue* v = lookup(name);
  if (v == nullptr) return false;
  if (value) *value = get64(*v);
  return true;
}

}  // namespace zavel
