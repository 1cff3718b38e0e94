#include "club/octa_paths.h"

#include <cstdio>
#include <limits>

namespace zavel::club_path {

namespace {

bool holds(std::string_view text, char c) {
  return text.find(c) != std::string_view::npos;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t year;
  int64_t month;
  int64_t day;
};

Civil civilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (month <= 2), month, day};
}

bool leapYear(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int64_t daysInMonth(int64_t y, int64_t m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

// The digits of text[from, from + count) as a number.
int64_t digitsAt(std::string_view text, size_t from, size_t count) {
  int64_t value = 0;
  for (size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// Leading decimal digits of a two-character field; what comes after a non-digit is ignored.
int leadingNumber(std::string_view field) {
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::optional<std::string> normalize(std::string_view path) {
  std::string text(path);
  // Only a leading root component is the root: "/octave" is a folder of its own.
  const std::string_view root(kRoot);
  if (text.compare(0, root.size(), root) == 0 &&
      (text.size() == root.size() || text[root.size()] == '/')) {
    text.replace(0, root.size(), "/");
  }
  for (size_t at = text.find("//"); at != std::string::npos; at = text.find("//")) {
    text.erase(at, 1);
  }
  if (!holds(text, '/')) {
    if (holds(text, '>')) return text;
    return std::nullopt;
  }
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::optional<Split> split(std::string_view path, bool name_required) {
  size_t last = path.rfind('/');
  if (last == std::string_view::npos) {
    if (name_required || !holds(path, '>')) return std::nullopt;
    return Split{std::string(path), std::string(), holds(path, '<')};
  }
  if (last + 1 == path.size() && path.size() > 1) {
    path.remove_suffix(1);
    last = path.rfind('/');
    if (last == std::string_view::npos) return std::nullopt;
  }
  Split s;
  s.parent = last == 0 ? std::string("/") : std::string(path.substr(0, last));
  s.name = std::string(path.substr(last + 1));
  s.index_parent = holds(s.parent, '<');
  if (name_required && s.name.empty()) return std::nullopt;
  return s;
}

int64_t parseIndex(std::string_view text, bool* is_file) {
  std::string digits;
  for (char c : text) {
    if (c == '<' || c == '>' || c == '/') continue;
    if (c == '@') {
      if (is_file != nullptr) *is_file = false;
      continue;
    }
    digits += c;
  }
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    // An index beyond 64 bits names nothing.
    if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<int32_t> timeSeconds(std::string_view stime) {
  if (stime.size() != 14) return std::nullopt;
  for (char c : stime) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const int64_t year = digitsAt(stime, 0, 4);
  const int64_t month = digitsAt(stime, 4, 2);
  const int64_t day = digitsAt(stime, 6, 2);
  const int64_t hour = digitsAt(stime, 8, 2);
  const int64_t minute = digitsAt(stime, 10, 2);
  const int64_t second = digitsAt(stime, 12, 2);
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  const int64_t seconds =
      daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (seconds < std::numeric_limits<int32_t>::min() ||
      seconds > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(seconds);
}

std::string timeText(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const Civil c = civilFromDays(days);
  char text[64];
  snprintf(text, sizeof text, "%04lld%02lld%02lld%02lld%02lld%02lld",
           static_cast<long long>(c.year), static_cast<long long>(c.month),
           static_cast<long long>(c.day), static_cast<long long>(rest / 3600),
           static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

std::string displayTime(std::string_view stime) {
  if (stime.size() != 14) return std::string();
  const int hour = leadingNumber(stime.substr(8, 2));
  const bool morning = hour <= 12;
  const std::string year(stime.substr(0, 4)), month(stime.substr(4, 2)), day(stime.substr(6, 2)),
      minute(stime.substr(10, 2));
  char text[64];
  snprintf(text, sizeof text, "%s-%s-%s %s %02d:%s", year.c_str(), month.c_str(), day.c_str(),
           morning ? "AM" : "PM", morning ? hour : hour - 12, minute.c_str());
  return text;
}

}  // namespace zavel::club_path
