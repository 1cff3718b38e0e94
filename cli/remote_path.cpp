#include "cli/remote_path.h"

#include <vector>

namespace zavel::cli {

bool isClubKey(std::string_view path) {
  return !path.empty() && path.front() == '<';
}

std::string clubKeyProblem(std::string_view path, bool new_item) {
  const size_t close = path.find('>');
  std::string_view digits = path.substr(1, close == std::string_view::npos ? 0 : close - 1);
  const bool folder = !digits.empty() && digits.back() == '@';
  if (folder) digits.remove_suffix(1);
  if (close == std::string_view::npos || digits.empty() || digits.size() > 18 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos ||
      digits.find_first_not_of('0') == std::string_view::npos)
    return "not a club key: ls shows them, <12> for a file and <12@> for a folder";
  const std::string rest = normalizeRemote(path.substr(close + 1));
  if (rest.empty() || rest == "/") return {};
  if (!new_item)
    return "a name after a club key only names a new item; the item's own key (ls shows "
           "it) names an existing one";
  if (!folder) return "a file's key takes no name after it";
  if (rest.front() != '/' || rest.find('/', 1) != std::string::npos)
    return "only one new name may follow a club key";
  return {};
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

std::string resolveRemote(std::string_view path, std::string_view top) {
  if (isClubKey(path)) return normalizeRemote(path);
  const std::string root = normalizeRemote(top.empty() ? "/" : top);
  std::string typed = normalizeRemote(path);
  if (root != "/" && typed.compare(0, root.size(), root) == 0 &&
      (typed.size() == root.size() || typed[root.size()] == '/'))
    typed.erase(0, root.size());
  std::vector<std::string_view> names;
  const std::string_view rest(typed);
  for (size_t at = 0; at <= rest.size();) {
    size_t slash = rest.find('/', at);
    if (slash == std::string_view::npos) slash = rest.size();
    const std::string_view name = rest.substr(at, slash - at);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    at = slash + 1;
  }
  std::string out = root;
  for (const std::string_view name : names) out = joinRemote(out, name);
  return out;
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

std::string nameProblem(std::string_view name) {
  if (name.empty()) return "an item needs a name";
  if (name == "." || name == "..") return "'.' and '..' are not names an item can have";
  if (name.find_first_of("\\/:*?\"<>|") != std::string_view::npos)
    return "a name cannot hold any of \\ / : * ? \" < > |";
  // printable() changes control characters and nothing else that got this far.
  if (printable(name) != name) return "a name cannot hold control characters";
  return {};
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
