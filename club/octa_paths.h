// Club-disk paths and times: the two path forms ("/octa/a/b" names, "<12>" and "<77@>"
// indexes) and the list server's "YYYYMMDDhhmmss" time texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zavel::club_path {

// The root every name path may start with.
inline constexpr char kRoot[] = "/octa";

// A leading root becomes "/", runs of "/" become one, a trailing "/" goes. A path without
// any "/" is accepted only in index form (it holds ">"). Nothing when the path is unusable.
std::optional<std::string> normalize(std::string_view path);

struct Split {
  std::string parent;
  std::string name;
  bool index_parent = false;  // the parent is written in index form
};

// Splits off the last name. Without a name required, a bare index path ("<12>") is its own
// parent with an empty name. Nothing when the path cannot be split.
std::optional<Split> split(std::string_view path, bool name_required);

// The index an index path names: 0 when it names none (0 is no entry's index). *is_file is
// cleared when the text marks a folder ("@").
int64_t parseIndex(std::string_view text, bool* is_file);

// Seconds since 1970-01-01 00:00:00 of a 14-digit time text, read without any time-zone
// adjustment; nothing when the text is not such a time or falls outside 32 bits.
std::optional<int32_t> timeSeconds(std::string_view stime);
// The 14-digit time text of seconds since 1970, without any time-zone adjustment.
std::string timeText(int64_t seconds);
// How listings show a time text: "2004-12-13 PM 03:30"; "" for a text not 14 long.
std::string displayTime(std::string_view stime);

}  // namespace zavel::club_path
