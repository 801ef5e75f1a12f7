#include "plant/plant_row_arrays.h"

#include <charconv>

namespace km8 {
namespace {

template <class T>
void number(std::string& out, T value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  out.append(text, end);
}

void quoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

}  // namespace

void PlantRowArrays::add(const PlantRow& row, int n) {
  if (rows_ > 0) {
    for (std::string& column : columns_) column += ',';
  }
  ++rows_;
  quoted(columns_[0], row.station);
  number(columns_[1], row.instrument);
  number(columns_[2], row.takenAtMicros);
  for (int c = 0; c < kChannelCount; ++c) {
    if (row.degrees[c]) {
      number(columns_[3 + c], *row.degrees[c]);
    } else {
      columns_[3 + c] += "NULL";
    }
  }
  number(columns_[kColumns - 1], n);
}

std::array<std::string, PlantRowArrays::kColumns> PlantRowArrays::literals() const {
  std::array<std::string, kColumns> out;
  for (int c = 0; c < kColumns; ++c) out[c] = '{' + columns_[c] + '}';
  return out;
}

}  // namespace km8
