#include "plant/plant_schema.h"

#include <array>

namespace km8 {
namespace {

#define KM8_PLANT_VALUES \
  "station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL, "
#define KM8_PLANT_DEGREES "t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real, "

constexpr std::array<std::string_view, 6> kStatements = {
    "SELECT pg_advisory_xact_lock(4281048)",
    "SET LOCAL client_min_messages TO warning",  // no notice for what is already there
    "CREATE TABLE IF NOT EXISTS km8_schema (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS km8_reading (" KM8_PLANT_VALUES KM8_PLANT_DEGREES
    "PRIMARY KEY (station, instrument, taken_at))",
    // n tells apart records of one reading that share their stamp (an archive interval of 0).
    "CREATE TABLE IF NOT EXISTS km8_archive (" KM8_PLANT_VALUES
    "n smallint NOT NULL DEFAULT 0, " KM8_PLANT_DEGREES
    "PRIMARY KEY (station, instrument, taken_at, n))",
    "INSERT INTO km8_schema (version) SELECT 2 WHERE NOT EXISTS (SELECT 1 FROM km8_schema)",
};

constexpr std::array<std::string_view, 4> kFromVersion1 = {
    "ALTER TABLE km8_archive ADD COLUMN n smallint NOT NULL DEFAULT 0",
    "ALTER TABLE km8_archive DROP CONSTRAINT km8_archive_pkey",
    "ALTER TABLE km8_archive ADD PRIMARY KEY (station, instrument, taken_at, n)",
    "UPDATE km8_schema SET version = 2",
};

#define KM8_PLANT_AT "timestamptz 'epoch' + ?::bigint * interval '1 microsecond'"

constexpr std::string_view kLiveInsert =
    "INSERT INTO km8_reading (station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) "
    "VALUES (?, ?, " KM8_PLANT_AT ", ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING";

constexpr std::string_view kArchiveInsert =
    "INSERT INTO km8_archive (station, instrument, taken_at, n, t1, t2, t3, t4, t5, t6, t7, t8) "
    "VALUES (?, ?, " KM8_PLANT_AT ", ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING";

}  // namespace

std::span<const std::string_view> PlantSchemaStatements() { return kStatements; }

std::span<const std::string_view> PlantSchemaUpgrade(int version) {
  if (version == 1) return kFromVersion1;
  return {};
}

std::string_view PlantInsertStatement(PlantTable table) {
  return table == PlantTable::Live ? kLiveInsert : kArchiveInsert;
}

}  // namespace km8
