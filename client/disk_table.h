// The tabular reply of the portal: column names in one text, cell values row after row in
// another, both split at the characters 2 and 3.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zavel::client {

class DiskTable {
 public:
  // Limits on what a reply may make the program hold.
  static constexpr size_t kMaxText = size_t{1} << 20;
  static constexpr size_t kMaxColumns = 1024;

  // Replaces the table. Fails (leaving it empty) when the fields text is empty or either text
  // is over kMaxText, when there are more than kMaxColumns columns, or when the values do not
  // fill whole rows. An empty values text gives zero rows.
  bool parse(std::string_view fields, std::string_view values);

  size_t rows() const { return columns_.empty() ? 0 : cells_.size() / columns_.size(); }
  // A cell by exact column name; none for an unknown column or a row out of range. Of two
  // columns with one name the later one counts.
  std::optional<std::string> cell(std::string_view column, size_t row) const;
  const std::vector<std::string>& columns() const { return columns_; }

 private:
  void clear();

  std::vector<std::string> columns_;
  std::string values_;
  std::vector<std::pair<uint32_t, uint32_t>> cells_;  // offset and length in values_, by row
};

}  // namespace zavel::client
