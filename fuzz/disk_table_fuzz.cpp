// The portal's tabular reply: the input up to its first NUL byte is the column names, the
// rest the cell values.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "client/disk_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  const std::string_view fields = input.substr(0, nul);
  const std::string_view values =
      nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  zavel::client::DiskTable table;
  const bool parsed = table.parse(fields, values);
  if (!parsed && table.rows() != 0) __builtin_trap();  // a failed parse leaves no table
  // The first and last rows are whole, and nothing lies past the last.
  const size_t rows = table.rows();
  for (const size_t row : {size_t{0}, rows == 0 ? 0 : rows - 1, rows}) {
    for (const std::string& column : table.columns())
      if (table.cell(column, row).has_value() != (row < rows)) __builtin_trap();
  }
  return 0;
}
