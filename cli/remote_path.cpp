#include "cli/remote_path.h"

namespace zavel::cli {

bool isClubKey(std::string_view path) {
  return !path.empty() && path.front() == '<';
}

std::string clubKey(int64_t index, bool folder) {
  return "<" + std::to_string(index) + (folder ? "@>" : ">");
}

std::string normalizeRemote(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string resolveRemote(std::string_view path, std::string_view home) {
  if (path.empty()) return normalizeRemote(home);
  if (path.front() == '/' || isClubKey(path)) return normalizeRemote(path);
  return normalizeRemote(std::string(home) + "/" + std::string(path));
}

std::optional<std::string> remoteParent(std::string_view path) {
  const std::string p = normalizeRemote(path);
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos || p == "/") return std::nullopt;
  if (slash == 0) return std::string("/");
  return p.substr(0, slash);
}

std::string remoteBaseName(std::string_view path) {
  const std::string p = normalizeRemote(path);
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string joinRemote(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

bool isSafeName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::optional<std::string> childOf(std::string_view listed, std::string_view entry) {
  std::string prefix(listed);
  if (prefix.empty() || prefix.back() != '/') prefix.push_back('/');
  if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix)
    return std::nullopt;
  const std::string_view name = entry.substr(prefix.size());
  if (!isSafeName(name)) return std::nullopt;
  return std::string(name);
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte < 0x20 || byte == 0x7f) {
      out.push_back('?');
    } else if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
      out.push_back('?');  // C1 controls in UTF-8: some terminals obey them too
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace zavel::cli
