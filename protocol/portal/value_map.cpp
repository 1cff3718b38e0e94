#include "protocol/portal/value_map.h"

#include <algorithm>

#include "protocol/portal/portal_scrambler.h"

namespace zavel::portal {

namespace {

std::string lower(std::string_view key) {
  std::string out(key);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// UTF-16 code units of a UTF-8 key, so keys sort as wide texts do.
std::u16string units(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    uint32_t cp = b;
    size_t n = 1;
    if (b >= 0xF0 && i + 3 < text.size()) {
      cp = ((b & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
           (text[i + 3] & 0x3Fu);
      n = 4;
    } else if (b >= 0xE0 && i + 2 < text.size()) {
      cp = ((b & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
      n = 3;
    } else if (b >= 0xC0 && i + 1 < text.size()) {
      cp = ((b & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
      n = 2;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += n;
  }
  return out;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t read32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

bool ValueMap::put(std::string_view key, uint8_t type, std::vector<uint8_t> data, bool overwrite) {
  // The key's length travels in 16 bits, the data's in 32.
  if (key.empty() || key.size() > 0xFFFF || data.size() > 0xFFFFFFF0u) return false;
  std::string k = lower(key);
  auto it = values_.find(k);
  if (it != values_.end()) {
    if (!overwrite) return false;
    it->second = Value{type, std::move(data)};
    return true;
  }
  order_.push_back(k);
  values_.emplace(std::move(k), Value{type, std::move(data)});
  return true;
}

bool ValueMap::putText(std::string_view key, std::string_view text, bool overwrite) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return put(key, kTypeText, std::move(data), overwrite);
}

const ValueMap::Value* ValueMap::find(std::string_view key) const {
  auto it = values_.find(lower(key));
  return it == values_.end() ? nullptr : &it->second;
}

bool ValueMap::getText(std::string_view key, std::string* text) const {
  const Value* v = find(key);
  if (v == nullptr || v->type != kTypeText) return false;
  const auto end = std::find(v->data.begin(), v->data.end(), uint8_t{0});
  text->assign(v->data.begin(), end);
  return true;
}

void ValueMap::clear() {
  values_.clear();
  order_.clear();
  scrambled_ = false;
}

std::vector<uint8_t> ValueMap::encode(bool scramble) const {
  std::vector<std::string> keys = order_;
  std::sort(keys.begin(), keys.end(),
            [](const std::string& a, const std::string& b) { return units(a) < units(b); });
  uint64_t size = 5;
  for (const std::string& k : keys) size += k.size() + values_.at(k).data.size() + 8;
  std::vector<uint8_t> out;
  out.reserve(size);
  put32(out, static_cast<uint32_t>(size - 4));
  out.push_back(scramble ? 1 : 0);
  for (const std::string& k : keys) {
    const Value& v = values_.at(k);
    out.push_back(static_cast<uint8_t>(k.size() >> 8));
    out.push_back(static_cast<uint8_t>(k.size()));
    out.insert(out.end(), k.begin(), k.end());
    out.push_back(0);
    out.push_back(v.type);
    put32(out, static_cast<uint32_t>(v.data.size()));
    out.insert(out.end(), v.data.begin(), v.data.end());
  }
  if (scramble) PortalScrambler::scramble(out.data() + 5, out.size() - 5);
  return out;
}

bool ValueMap::decode(const uint8_t* data, size_t size) {
  clear();
  if (size < 5 || uint64_t{read32(data)} + 4 != size) return false;
  const bool scrambled = data[4] != 0;
  std::vector<uint8_t> entries(data + 5, data + size);
  if (scrambled) PortalScrambler::unscramble(entries.data(), entries.size());
  const uint8_t* p = entries.data();
  uint64_t left = entries.size();
  while (left >= 5) {
    const uint64_t key_length = (uint64_t{p[0]} << 8) | p[1];
    // Key, its NUL, the type byte and the data length must all be there.
    if (key_length + 8 > left) return clear(), false;
    const uint64_t data_length = read32(p + 4 + key_length);
    if (key_length + 8 + data_length > left) return clear(), false;
    const std::string key(reinterpret_cast<const char*>(p + 2), key_length);
    const uint8_t type = p[3 + key_length];
    const uint8_t* value = p + 8 + key_length;
    if (!key.empty() && values_.count(key) == 0) {
      order_.push_back(key);
      values_.emplace(key, Value{type, std::vector<uint8_t>(value, value + data_length)});
    }
    p += key_length + 8 + data_length;
    left -= key_length + 8 + data_length;
  }
  scrambled_ = scrambled;
  return true;
}

}  // namespace zavel::portal
