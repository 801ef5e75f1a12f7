#include "plant/plant_schema.h"

#include <array>

namespace km8 {
namespace {

#define KM8_PLANT_COLUMNS                                                                 \
  "(station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL, " \
  "t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real, "              \
  "PRIMARY KEY (station, instrument, taken_at))"

constexpr std::array<std::string_view, 6> kStatements = {
    "SELECT pg_advisory_xact_lock(4281048)",
    "SET LOCAL client_min_messages TO warning",  // no notice for what is already there
    "CREATE TABLE IF NOT EXISTS km8_schema (version integer NOT NULL)",
    "CREATE TABLE IF NOT EXISTS km8_reading " KM8_PLANT_COLUMNS,
    "CREATE TABLE IF NOT EXISTS km8_archive " KM8_PLANT_COLUMNS,
    "INSERT INTO km8_schema (version) SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM km8_schema)",
};

#define KM8_PLANT_INSERT(table)                                       \
  "INSERT INTO " table                                                \
  " (station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) " \
  "VALUES (?, ?, to_timestamp(?), ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"

}  // namespace

std::span<const std::string_view> PlantSchemaStatements() { return kStatements; }

// An archive record's time is the station's clock minus the archive age, which the
// instrument gives in whole seconds, so two readings of one record may stamp it a second
// or two apart. A record already stored within two seconds of its stamp, with the same
// temperatures, is the same record. Two records of one reading are either minutes apart
// or share their stamp, so none is taken for another.
constexpr std::string_view kArchiveInsert =
    "INSERT INTO km8_archive (station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) "
    "SELECT * FROM (VALUES (?::text, ?::smallint, to_timestamp(?), ?::real, ?::real, "
    "?::real, ?::real, ?::real, ?::real, ?::real, ?::real)) "
    "AS r (station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8) "
    "WHERE NOT EXISTS (SELECT 1 FROM km8_archive a WHERE a.station = r.station "
    "AND a.instrument = r.instrument "
    "AND a.taken_at BETWEEN r.taken_at - interval '2 s' AND r.taken_at + interval '2 s' "
    "AND (a.t1, a.t2, a.t3, a.t4, a.t5, a.t6, a.t7, a.t8) "
    "IS NOT DISTINCT FROM (r.t1, r.t2, r.t3, r.t4, r.t5, r.t6, r.t7, r.t8)) "
    "ON CONFLICT DO NOTHING";

std::string_view PlantInsertStatement(PlantTable table) {
  return table == PlantTable::Live ? KM8_PLANT_INSERT("km8_reading") : kArchiveInsert;
}

}  // namespace km8
