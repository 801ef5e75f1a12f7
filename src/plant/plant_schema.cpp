#include "plant/plant_schema.h"

#include <array>

namespace km8 {
namespace {

// sql/km8-plant-tables.sql, as the administrator's set-up script runs it.
constexpr std::string_view kTables =
#include "plant/plant_tables_sql.inc"
    ;

constexpr std::array<std::string_view, 4> kFromVersion1 = {
    "ALTER TABLE km8_archive ADD COLUMN n smallint NOT NULL DEFAULT 0",
    "ALTER TABLE km8_archive DROP CONSTRAINT km8_archive_pkey",
    "ALTER TABLE km8_archive ADD PRIMARY KEY (station, instrument, taken_at, n)",
    "UPDATE km8_schema SET version = 2",
};

// km8_latest with its trigger and the index on time, all made by the tables' file.
constexpr std::array<std::string_view, 2> kFromVersion2 = {kTables,
                                                           "UPDATE km8_schema SET version = 3"};

#define KM8_PLANT_AT "timestamptz 'epoch' + at * interval '1 microsecond'"
#define KM8_PLANT_ARRAYS "$4::real[], $5::real[], $6::real[], $7::real[], $8::real[], $9::real[], "

constexpr std::string_view kLiveInsert =
    "INSERT INTO km8_reading (station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) "
    "SELECT s, i, " KM8_PLANT_AT
    ", d1, d2, d3, d4, d5, d6, d7, d8 FROM unnest($1::text[], $2::smallint[], "
    "$3::bigint[], " KM8_PLANT_ARRAYS
    "$10::real[], $11::real[]) AS r (s, i, at, d1, d2, d3, d4, d5, d6, d7, d8) "
    "ON CONFLICT DO NOTHING";

constexpr std::string_view kArchiveInsert =
    "INSERT INTO km8_archive (station, instrument, taken_at, n, t1, t2, t3, t4, t5, t6, t7, t8) "
    "SELECT s, i, " KM8_PLANT_AT
    ", n, d1, d2, d3, d4, d5, d6, d7, d8 FROM unnest($1::text[], $2::smallint[], $3::bigint[], "
    "$12::smallint[], " KM8_PLANT_ARRAYS
    "$10::real[], $11::real[]) AS r (s, i, at, n, d1, d2, d3, "
    "d4, d5, d6, d7, d8) ON CONFLICT DO NOTHING";

}  // namespace

std::string_view PlantTablesStatements() { return kTables; }

std::span<const std::string_view> PlantSchemaUpgrade(int version) {
  if (version == 1) return kFromVersion1;
  if (version == 2) return kFromVersion2;
  return {};
}

std::string_view PlantInsertStatement(PlantTable table) {
  return table == PlantTable::Live ? kLiveInsert : kArchiveInsert;
}

}  // namespace km8
