// Rows as PostgreSQL array literals, one per column, for the inserts that send a whole
// batch in one statement: text quoted, NULL for a channel without a value, and each
// temperature written so that it reads back as the same float.
#pragma once

#include <array>
#include <string>

#include "plant/plant_rows.h"

namespace km8 {

class PlantRowArrays {
 public:
  // Columns in the order of the insert's parameters: station, instrument, taken_at,
  // t1..t8, and the archive ordinal n.
  static constexpr int kColumns = 4 + kChannelCount;

  void add(const PlantRow& row, int n = 0);
  int rows() const { return rows_; }
  // Each column's literal ("{a,b,c}").
  std::array<std::string, kColumns> literals() const;

 private:
  std::array<std::string, kColumns> columns_;
  int rows_ = 0;
};

}  // namespace km8
