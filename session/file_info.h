// One entry of a remote folder listing, as a session delivers it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zavel {

// File-info type bits: which fields a listing fills.
constexpr int32_t kInfoNames = 4;
constexpr int32_t kInfoSizes = 8;
constexpr int32_t kInfoTypes = 16;
constexpr int32_t kInfoDates = 32;

constexpr int32_t kEntryFolder = 1;

struct FileInfoItem {
  std::string name;
  int64_t size = 0;
  int32_t type = 0;  // 1 folder, anything else a file
  std::string date;  // display text, shown as it came
  // Kind-specific record (a club disk's entry); released with the item. Null for a
  // personal disk.
  std::shared_ptr<void> detail;
};

}  // namespace zavel
