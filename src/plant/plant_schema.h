// The plant database's schema as the station creates and upgrades it, and the statements
// it sends. Every value goes in as a bound parameter; no statement is built from data.
#pragma once

#include <span>
#include <string_view>

#include "plant/plant_rows.h"

namespace km8 {

// 2: archive rows keyed by an ordinal as well, for records of one reading that share
// their stamp.
inline constexpr int kPlantSchemaVersion = 2;

// Run in one transaction, in order: an advisory lock so that stations starting together
// do not race, the tables when missing (as this version has them), the version row when
// missing. Then the version query, and the upgrades up to this version.
std::span<const std::string_view> PlantSchemaStatements();

// The version the database says it has: one integer column.
inline constexpr std::string_view kPlantSchemaVersionQuery = "SELECT max(version) FROM km8_schema";

// What takes a database of `version` to version + 1, in place, rows kept; empty for a
// version no upgrade starts from.
std::span<const std::string_view> PlantSchemaUpgrade(int version);

// INSERT of one row of `table`; a row already there is skipped. Live: 11 placeholders
// (station, instrument, taken_at in microseconds since 1970, t1..t8); archive: 12 (the
// ordinal n after taken_at).
std::string_view PlantInsertStatement(PlantTable table);

// The archive rows of station ?, instrument ? taken from ? to ? (microseconds since
// 1970), oldest first: taken_at in microseconds, n, t1..t8.
inline constexpr std::string_view kPlantStoredArchiveQuery =
    "SELECT (extract(epoch FROM taken_at) * 1000000)::bigint, n, t1, t2, t3, t4, t5, t6, t7, t8 "
    "FROM km8_archive WHERE station = ? AND instrument = ? AND taken_at BETWEEN "
    "timestamptz 'epoch' + ?::bigint * interval '1 microsecond' AND "
    "timestamptz 'epoch' + ?::bigint * interval '1 microsecond' ORDER BY taken_at, n";

// Takes the series of station ?, instrument ? for this connection until it ends: true,
// or false while another connection holds it.
inline constexpr std::string_view kPlantSeriesLockQuery =
    "SELECT pg_try_advisory_lock(hashtextextended(?::text, ?::bigint))";

}  // namespace km8
