#include "cli/program_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace zavel::cli {
namespace {

std::string_view trim(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A value as QSettings reads it: quoted parts lose their quotes (a backslash escapes the
// next character inside them), and a ';' outside quotes starts a comment.
std::string unquote(std::string_view raw) {
  std::string value;
  bool quoted = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted && c == '\\' && i + 1 < raw.size()) {
      value += raw[++i];
    } else if (!quoted && c == ';') {
      break;
    } else {
      value += c;
    }
  }
  return std::string(trim(value));
}

// 1 to 65535 in decimal digits; 0 otherwise.
uint16_t portNumber(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
    return 0;
  const unsigned long value = std::stoul(std::string(text));
  return value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

std::filesystem::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

}  // namespace

ProgramServers parseProgramSettings(std::string_view text) {
  static const ProgramServers kDefaults;
  ProgramServers servers;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  client::Endpoint* section = nullptr;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    text.remove_prefix(end == text.npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view name = trim(line.substr(1, close == line.npos ? close : close - 1));
      section = sameIgnoringCase(name, "server")       ? &servers.portal
                : sameIgnoringCase(name, "serverOCTA") ? &servers.club
                                                       : nullptr;
      continue;
    }
    const size_t equals = line.find('=');
    if (section == nullptr || equals == line.npos) continue;
    const std::string_view key = trim(line.substr(0, equals));
    const std::string value = unquote(trim(line.substr(equals + 1)));
    // As in the program, the last of repeated values counts, and an unusable one means
    // the default.
    if (sameIgnoringCase(key, "ip")) {
      section->host = value.empty() ? kDefaults.portal.host : value;
    } else if (sameIgnoringCase(key, "port")) {
      const uint16_t port = portNumber(value);
      section->port = port != 0 ? port : kDefaults.portal.port;
    }
  }
  return servers;
}

std::filesystem::path programSettingsPath() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
    base = xdg;
  else
    base = homeFolder() / ".config";
  return base / "vemar" / "zavel.conf";
}

ProgramServers readProgramSettings(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return parseProgramSettings(text);
}

}  // namespace zavel::cli
