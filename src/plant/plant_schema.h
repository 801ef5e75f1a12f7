// The plant database's schema as the station creates it, and the statements it sends.
// Every value goes in as a bound parameter; no statement is built from data.
#pragma once

#include <span>
#include <string_view>

#include "plant/plant_rows.h"

namespace km8 {

inline constexpr int kPlantSchemaVersion = 1;

// Run in one transaction, in order: an advisory lock so that stations starting together
// do not race, the tables when missing, the version row when missing.
std::span<const std::string_view> PlantSchemaStatements();

// The version the database says it has: one integer column.
inline constexpr std::string_view kPlantSchemaVersionQuery = "SELECT max(version) FROM km8_schema";

// INSERT of one row of `table` with 12 placeholders (station, instrument, taken_at as
// seconds since 1970, t1..t8); a row already there is skipped.
std::string_view PlantInsertStatement(PlantTable table);

}  // namespace km8
