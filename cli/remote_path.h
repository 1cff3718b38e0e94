// Remote path texts as zavel-cli handles them. A disk's paths are "/"-separated names; a
// club disk also takes club keys: "<12>" names a file, "<12@>" a folder, and "<12@>/name"
// one new name inside that folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zavel::cli {

bool isClubKey(std::string_view path);
// The club key of a listed club entry.
std::string clubKey(int64_t index, bool folder);

// Collapses repeated "/" and drops a trailing "/" (but keeps "/" itself).
std::string normalizeRemote(std::string_view path);
// A path the user typed, made absolute: empty is home, a relative name is below home,
// absolute paths and club keys stay as they are. Normalised.
std::string resolveRemote(std::string_view path, std::string_view home);
// The folder holding path: "/a/b" -> "/a", "/a" -> "/", "<7@>/x" -> "<7@>"; none for "/"
// and for a bare club key.
std::optional<std::string> remoteParent(std::string_view path);
// The last name of a path: "/a/b" -> "b"; "" for "/"; a bare club key is its own name.
std::string remoteBaseName(std::string_view path);
// folder + "/" + name, without a doubled "/" after the root.
std::string joinRemote(std::string_view folder, std::string_view name);

// One name that can be created on either side without leaving its folder: not empty,
// not "." or "..", no "/" and no NUL.
bool isSafeName(std::string_view name);
// The name of a listed entry inside the listed folder: entry must be listed + "/" + one
// safe name. None for anything else (the folder itself included).
std::optional<std::string> childOf(std::string_view listed, std::string_view entry);

// Server texts made safe to print: control characters (C0, DEL and C1) become '?'.
std::string printable(std::string_view text);

}  // namespace zavel::cli
