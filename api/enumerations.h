// Open folder listings and remote-command results: the library keeps everything it hands
// out until the caller closes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "session/file_info.h"
#include "zavelsdk.h"

namespace zavel {

class EnumerationTable {
 public:
  // Takes a fetched listing; its handle is the address of its entry list.
  ZavelFileInfoList* add(std::unique_ptr<std::vector<FileInfoItem>> entries);
  // A fresh record of entry index, kept until the listing closes; null when the listing
  // is not open or the index is outside it.
  const ZavelFileInfo* read(const ZavelFileInfoList* list, int32_t index);
  bool close(const ZavelFileInfoList* list);
  size_t size() const;

 private:
  struct Open {
    std::unique_ptr<std::vector<FileInfoItem>> entries;
    std::deque<ZavelFileInfo> records;  // deque: handed-out pointers stay put
  };
  mutable std::mutex mutex_;
  std::unordered_map<const ZavelFileInfoList*, Open> open_;
};

class CommandResultTable {
 public:
  const char* add(const std::string& text);
  bool contains(const char* text) const;
  bool close(const char* text);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<const char*, std::unique_ptr<char[]>> texts_;
};

EnumerationTable& enumerationTable();
CommandResultTable& commandResultTable();

}  // namespace zavel
