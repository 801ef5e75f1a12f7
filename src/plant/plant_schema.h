// The plant database's schema as the station finds, makes or upgrades it, and the
// statements it sends. Every value goes in as a bound parameter ($1, $2, ...); no
// statement is built from data.
#pragma once

#include <span>
#include <string_view>

#include "plant/plant_rows.h"

namespace km8 {

// 2: archive rows keyed by an ordinal as well, for records of one reading that share
// their stamp. 3: km8_latest (every series' newest row) and an index on the time.
inline constexpr int kPlantSchemaVersion = 3;

// One row: whether each of the station's tables is there (km8_schema, km8_reading,
// km8_archive), as booleans. Nothing else is asked for or made when they all are, so
// that a role that may only insert into the tables the administrator made can feed.
inline constexpr std::string_view kPlantTablesQuery =
    "SELECT to_regclass('km8_schema') IS NOT NULL, to_regclass('km8_reading') IS NOT NULL, "
    "to_regclass('km8_archive') IS NOT NULL";

// Makes what is missing, as one string of statements for one transaction: the tables,
// indexes and trigger of this version, and the version row (sql/km8-plant-tables.sql).
std::string_view PlantTablesStatements();

// The version the database says it has: one integer column (NULL without a row).
inline constexpr std::string_view kPlantSchemaVersionQuery = "SELECT max(version) FROM km8_schema";

// Taken before an upgrade, in its transaction, after which the version is read again;
// the tables' file takes the same one.
inline constexpr std::string_view kPlantSchemaLock = "SELECT pg_advisory_xact_lock(4281048)";

// What takes a database of `version` to version + 1, in place, rows kept; empty for a
// version no upgrade starts from.
std::span<const std::string_view> PlantSchemaUpgrade(int version);

// INSERT of many rows of `table` at once, one array per column; a row already there is
// skipped. Live: 11 arrays (station text, instrument smallint, taken_at bigint in
// microseconds since 1970, t1..t8 real); archive: 12 (the ordinal n, smallint, last).
std::string_view PlantInsertStatement(PlantTable table);

// The archive rows of station $1, instrument $2 taken from $3 to $4 (microseconds since
// 1970), oldest first: taken_at in microseconds (bigint), n (smallint), t1..t8 (real).
inline constexpr std::string_view kPlantStoredArchiveQuery =
    "SELECT (extract(epoch FROM taken_at) * 1000000)::bigint, n, t1, t2, t3, t4, t5, t6, t7, t8 "
    "FROM km8_archive WHERE station = $1 AND instrument = $2 AND taken_at BETWEEN "
    "timestamptz 'epoch' + $3::bigint * interval '1 microsecond' AND "
    "timestamptz 'epoch' + $4::bigint * interval '1 microsecond' ORDER BY taken_at, n";

// Takes the series of station $1, instrument $2 for this connection until it ends: true,
// or false while another connection holds it.
inline constexpr std::string_view kPlantSeriesLockQuery =
    "SELECT pg_try_advisory_lock(hashtextextended($1::text, $2::bigint))";

}  // namespace km8
