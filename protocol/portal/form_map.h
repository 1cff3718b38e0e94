// A form-encoded text map ("a=1&b=2"): the header of every sign-in message and the text
// bodies. Keys are kept lower-case without trailing white space.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zavel::portal {

class FormMap {
 public:
  // Stores value under the folded key. False when the folded key is empty, or when it is
  // present and overwrite is false.
  bool set(std::string_view key, std::string_view value, bool overwrite = true);
  // The value of the folded key; false (value untouched) when absent.
  bool get(std::string_view key, std::string* value) const;
  bool exists(std::string_view key) const;
  size_t size() const { return pairs_.size(); }
  bool empty() const { return pairs_.empty(); }
  void clear() { pairs_.clear(); }
  const std::map<std::string, std::string>& pairs() const { return pairs_; }

  // "k1=v1&k2=v2" with keys and values escaped; empty for an empty map.
  std::string encode() const;
  // Replaces the contents with the pairs of text. Every text parses (a token without "="
  // has an empty value; tokens with an empty key are dropped); false only when text is
  // longer than kMaxText.
  bool parse(std::string_view text);

  // Longest text parse() takes.
  static constexpr size_t kMaxText = 1 << 20;

  // Lower-cases ASCII letters and drops trailing white space.
  static std::string foldKey(std::string_view key);
  // "%", "&", "=", "|", "+" and line feed become "%XX" (upper-case hex); then spaces "+".
  static std::string escape(std::string_view text);
  // "+" becomes a space, "%%" a "%", "%" and two hex digits (either case) that byte;
  // anything else is copied.
  static std::string unescape(std::string_view text);

 private:
  std::map<std::string, std::string> pairs_;
};

}  // namespace zavel::portal
