// A typed binary map: the body of an authentication request. Each value is a type byte
// and its data; this service only uses text (type 4, the bytes and one NUL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zavel::portal {

class ValueMap {
 public:
  static constexpr uint8_t kTypeText = 4;

  struct Value {
    uint8_t type = kTypeText;
    std::vector<uint8_t> data;
  };

  // Stores text + NUL under the lower-cased key. False when the key is empty, or present
  // and overwrite is false.
  bool putText(std::string_view key, std::string_view text, bool overwrite = true);
  bool put(std::string_view key, uint8_t type, std::vector<uint8_t> data, bool overwrite = true);
  // The text of a type-4 value, up to its first NUL; false when absent or of another type.
  bool getText(std::string_view key, std::string* text) const;
  const Value* find(std::string_view key) const;
  size_t size() const { return values_.size(); }
  void clear();
  // Keys in the order they were first put (or received).
  const std::vector<std::string>& keys() const { return order_; }

  // The whole encoding: L (bytes after itself, big-endian), the flag byte, then the entries
  // in ascending key order; with scramble, everything after the flag byte scrambled.
  std::vector<uint8_t> encode(bool scramble) const;
  // Reads an encoding of exactly size bytes (L + 4 == size). False, with the map cleared,
  // when the lengths do not fit; keys are stored as received.
  bool decode(const uint8_t* data, size_t size);
  // The flag byte of the last successful decode.
  bool wasScrambled() const { return scrambled_; }

 private:
  std::map<std::string, Value> values_;
  std::vector<std::string> order_;
  bool scrambled_ = false;
};

}  // namespace zavel::portal
