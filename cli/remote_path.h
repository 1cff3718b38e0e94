// Remote path texts as zavel-cli handles them. A disk's paths are "/"-separated names; a
// club disk also takes club keys: "<12>" names a file, "<12@>" a folder, and "<12@>/name"
// one new name inside that folder. What people type is rooted at the disk's top folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zavel::cli {

bool isClubKey(std::string_view path);
// Why a path that starts like a club key cannot be used ("" when it can): the key must be
// "<N>" or "<N@>"; a new name may follow a folder's key only where an item is made.
std::string clubKeyProblem(std::string_view path, bool new_item);
// The club key of a listed club entry.
std::string clubKey(int64_t index, bool folder);

// Collapses repeated "/" and drops a trailing "/" (but keeps "/" itself).
std::string normalizeRemote(std::string_view path);
// A path the user typed, on a disk whose top folder is at `top` (the sign-on folder: "/demo",
// "/octa", or "/"). "" and "/" are the top folder, "a/b" and "/a/b" the same item below it;
// a path that starts with the top folder's own path keeps its meaning ("/demo/a" on a disk
// at /demo), so every path zavel-cli prints can be typed back. "." is dropped and ".." goes
// up a level, never above the top. Club keys stay as they are. Normalised.
std::string resolveRemote(std::string_view path, std::string_view top);
// The folder holding path: "/a/b" -> "/a", "/a" -> "/", "<7@>/x" -> "<7@>"; none for "/"
// and for a bare club key.
std::optional<std::string> remoteParent(std::string_view path);
// The last name of a path: "/a/b" -> "b"; "" for "/"; a bare club key is its own name.
std::string remoteBaseName(std::string_view path);
// folder + "/" + name, without a doubled "/" after the root.
std::string joinRemote(std::string_view folder, std::string_view name);

// Why the disk should not be given an item of this name ("" when it may): empty, "." and
// "..", any of \ / : * ? " < > | and control characters. The explorer refuses the same, and
// could neither rename nor delete such an item.
std::string nameProblem(std::string_view name);

// One name that can be created on either side without leaving its folder: not empty,
// not "." or "..", no "/" and no NUL.
bool isSafeName(std::string_view name);
// The name of a listed entry inside the listed folder: entry must be listed + "/" + one
// safe name. None for anything else (the folder itself included).
std::optional<std::string> childOf(std::string_view listed, std::string_view entry);

// Server texts made safe to print: control characters (C0, DEL and C1) become '?'.
std::string printable(std::string_view text);

}  // namespace zavel::cli
