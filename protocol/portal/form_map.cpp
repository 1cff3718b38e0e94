#include "protocol/portal/form_map.h"

namespace zavel::portal {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::string FormMap::foldKey(std::string_view key) {
  while (!key.empty() && isSpace(key.back())) key.remove_suffix(1);
  std::string folded(key);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string FormMap::escape(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '%':
      case '&':
      case '=':
      case '|':
      case '+':
      case '\n': {
        const auto byte = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
        break;
      }
      case ' ':
        out += '+';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FormMap::unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
      out += '%';
      ++i;
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
               hexValue(text[i + 2]) >= 0) {
      // Codes of 80 hex and above come through as that byte, as the escape would have
      // left them.
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

bool FormMap::set(std::string_view key, std::string_view value, bool overwrite) {
  std::string folded = foldKey(key);
  if (folded.empty()) return false;
  auto it = pairs_.find(folded);
  if (it != pairs_.end()) {
    if (!overwrite) return false;
    it->second = value;
    return true;
  }
  pairs_.emplace(std::move(folded), value);
  return true;
}

bool FormMap::get(std::string_view key, std::string* value) const {
  auto it = pairs_.find(foldKey(key));
  if (it == pairs_.end()) return false;
  *value = it->second;
  return true;
}

bool FormMap::exists(std::string_view key) const {
  return pairs_.count(foldKey(key)) > 0;
}

std::string FormMap::encode() const {
  std::string out;
  for (const auto& [key, value] : pairs_) {
    if (!out.empty()) out += '&';
    out += escape(key);
    out += '=';
    out += escape(value);
  }
  return out;
}

bool FormMap::parse(std::string_view text) {
  pairs_.clear();
  if (text.size() > kMaxText) return false;
  while (true) {
    const size_t amp = text.find('&');
    const std::string_view token = text.substr(0, amp);
    const size_t eq = token.find('=');
    const std::string_view key = token.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : token.substr(eq + 1);
    set(unescape(key), unescape(value));  // an empty key is dropped by set()
    if (amp == std::string_view::npos) break;
    text.remove_prefix(amp + 1);
  }
  return true;
}

}  // namespace zavel::portal
