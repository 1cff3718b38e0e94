#include "cli/remote_listing.h"

#include "cli/remote_path.h"
#include "zavelsdk.h"

namespace zavel::cli {

std::string LibraryError::describe() const {
  std::string message = zavel_FormatMessage(number);
  if (message.empty()) message = printable(text);
  if (message.empty()) message = "failed";
  return message + " (" + std::to_string(number) + ")";
}

bool parseListedDate(std::string_view text, std::tm* out) {
  const auto number = [&](size_t at, size_t count, int* value) {
    if (at + count > text.size()) return false;
    *value = 0;
    for (size_t i = at; i < at + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      *value = *value * 10 + (text[i] - '0');
    }
    return true;
  };
  std::tm t{};
  int year = 0, month = 0;
  if (text.size() == 14) {
    if (!number(0, 4, &year) || !number(4, 2, &month) || !number(6, 2, &t.tm_mday) ||
        !number(8, 2, &t.tm_hour) || !number(10, 2, &t.tm_min) || !number(12, 2, &t.tm_sec))
      return false;
  } else {
    const std::string_view half = text.size() == 19 ? text.substr(11, 2) : std::string_view();
    if ((half != "AM" && half != "PM") || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ' ' || text[16] != ':' || !number(0, 4, &year) || !number(5, 2, &month) ||
        !number(8, 2, &t.tm_mday) || !number(14, 2, &t.tm_hour) || !number(17, 2, &t.tm_min))
      return false;
    if (half == "PM") t.tm_hour = t.tm_hour >= 1 && t.tm_hour <= 11 ? t.tm_hour + 12 : 99;
  }
  if (month < 1 || month > 12 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 ||
      t.tm_min > 59 || t.tm_sec > 59)
    return false;
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  *out = t;
  return true;
}

std::optional<int64_t> listedTime(const RemoteEntry& entry) {
  std::tm t{};
  if (!(entry.club && parseListedDate(entry.club->time, &t)) && !parseListedDate(entry.date, &t))
    return std::nullopt;
  t.tm_isdst = -1;  // whatever daylight saving time held on that day
  const time_t seconds = std::mktime(&t);
  if (seconds == static_cast<time_t>(-1)) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

Listing splitListing(const std::string& listed, std::vector<RemoteEntry> entries) {
  Listing out;
  for (size_t i = 0; i < entries.size(); ++i) {
    RemoteEntry& e = entries[i];
    if (!out.self && e.name == listed && (!e.club || i == 0)) {
      out.self = std::move(e);
      continue;
    }
    if (e.club) {
      if (!isSafeName(e.club->name) || e.club->index <= 0) {
        out.strays.push_back(e.name);
        continue;
      }
      std::string name = e.club->name;
      std::string key = clubKey(e.club->index, e.folder);
      out.children.push_back(ListedChild{std::move(name), std::move(key), std::move(e)});
      continue;
    }
    if (std::optional<std::string> name = childOf(listed, e.name)) {
      std::string address = joinRemote(listed, *name);
      out.children.push_back(ListedChild{std::move(*name), std::move(address), std::move(e)});
      continue;
    }
    out.strays.push_back(e.name);
  }
  return out;
}

}  // namespace zavel::cli
