#include "app/signin/launch_keys.h"

#include <map>

namespace zavel::app {
namespace {

bool blank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::u16string lower(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

}  // namespace

std::optional<LaunchKeys> parseLaunchText(std::u16string_view text) {
  if (text.size() <= kLaunchPrefixLength) return std::nullopt;
  std::map<std::u16string, std::u16string> pairs;
  std::u16string_view rest = text.substr(kLaunchPrefixLength);
  while (!rest.empty()) {
    const size_t end = rest.find(u';');
    const std::u16string_view token = rest.substr(0, end);
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    const size_t eq = token.find(u'=');
    if (eq == std::u16string_view::npos) continue;
    pairs[lower(trim(token.substr(0, eq)))] = std::u16string(trim(token.substr(eq + 1)));
  }
  const auto id = pairs.find(u"u_id");
  if (id == pairs.end() || id->second.empty()) return std::nullopt;
  LaunchKeys keys{id->second, std::nullopt};
  if (const auto key = pairs.find(u"u_sessionkey"); key != pairs.end())
    keys.sessionKey = key->second;
  return keys;
}

}  // namespace zavel::app
