#include "ui/button_row.h"

#include <cstdint>

namespace brindorel {

std::vector<RowButton> FitButtonRow(std::vector<RowButton> row, int leftLimit) {
  if (row.empty()) return row;
  std::vector<std::int64_t> growth(row.size(), 0);
  std::int64_t total = 0;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (row[i].needed > row[i].width) growth[i] = static_cast<std::int64_t>(row[i].needed) - row[i].width;
    total += growth[i];
  }
  const std::int64_t room = static_cast<std::int64_t>(row.front().x) - leftLimit;
  if (total > room) {
    // Every button gets the same share of its growth; what rounding leaves
    // over stays unused, so the limit holds.
    const std::int64_t allowed = room > 0 ? room : 0;
    for (std::int64_t& g : growth) g = g * allowed / total;
  }
  std::int64_t shift = 0;  // the growth of the buttons to the right
  for (std::size_t i = row.size(); i-- > 0;) {
    const std::int64_t right = static_cast<std::int64_t>(row[i].x) + row[i].width - shift;
    const std::int64_t width = row[i].width + growth[i];
    row[i].x = static_cast<int>(right - width);
    row[i].width = static_cast<int>(width);
    shift += growth[i];
  }
  return row;
}

}  // namespace brindorel
