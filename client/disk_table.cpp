#include "client/disk_table.h"

namespace zavel::client {
namespace {

bool isSeparator(char c) {
  return c == '\x02' || c == '\x03';
}

// Calls item(offset, length) for each item of text: every separator ends one, and text
// after the last separator is one more. So a trailing separator adds no empty item, while
// a leading or doubled one does.
template <typename Item>
void split(std::string_view text, Item item) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!isSeparator(text[i])) continue;
    item(start, i - start);
    start = i + 1;
  }
  if (start < text.size()) item(start, text.size() - start);
}

}  // namespace

void DiskTable::clear() {
  columns_.clear();
  values_.clear();
  cells_.clear();
}

bool DiskTable::parse(std::string_view fields, std::string_view values) {
  clear();
  if (fields.empty() || fields.size() > kMaxText || values.size() > kMaxText) return false;
  bool too_many = false;
  split(fields, [&](size_t at, size_t length) {
    if (columns_.size() == kMaxColumns)
      too_many = true;
    else
      columns_.emplace_back(fields.substr(at, length));
  });
  values_.assign(values);
  split(values_, [&](size_t at, size_t length) {
    cells_.emplace_back(static_cast<uint32_t>(at), static_cast<uint32_t>(length));
  });
  if (too_many || cells_.size() % columns_.size() != 0) {
    clear();
    return false;
  }
  return true;
}

std::optional<std::string> DiskTable::cell(std::string_view column, size_t row) const {
  if (row >= rows()) return std::nullopt;
  for (size_t c = columns_.size(); c-- > 0;) {
    if (columns_[c] != column) continue;
    const auto [at, length] = cells_[row * columns_.size() + c];
    return values_.substr(at, length);
  }
  return std::nullopt;
}

}  // namespace zavel::client
