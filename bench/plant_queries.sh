#!/usr/bin/env bash
# What a dashboard's queries cost on a plant database of 10 M live rows, before and after
# the set-up script's tables: "every station's latest values" (from km8_latest; before, a
# DISTINCT ON over km8_reading) and "all stations, the last hour" (served by the index on
# time; before, a scan of the whole table), in one table and partitioned by month.
# Prints the server's execution time of each (EXPLAIN ANALYZE, the median of 5 runs).
#   scripts/with-postgres.sh bench/plant_queries.sh [STATIONS [ROWS_EACH]]
# The default: 100 stations, 100 000 rows each (about 28 hours a station).
set -euo pipefail
stations=${1:-100}
each=${2:-100000}
here=$(cd "$(dirname "$0")/.." && pwd)
psql=("${KM8_TEST_PGBIN:?run under scripts/with-postgres.sh}/psql" -X -q -v ON_ERROR_STOP=1
  -h "$KM8_TEST_PGHOST" -U "$KM8_TEST_PGUSER")
[[ -n "${KM8_TEST_PGPORT:-}" ]] && psql+=(-p "$KM8_TEST_PGPORT")

# The median of five runs' execution time of a query, in ms.
timed() { # DATABASE SQL
  for _ in 1 2 3 4 5; do
    "${psql[@]}" -d "$1" -At -c "EXPLAIN (ANALYZE, FORMAT JSON) $2" |
      sed -n 's/.*"Execution Time": \([0-9.]*\).*/\1/p'
  done | sort -n | sed -n 3p
}

latest_before="SELECT DISTINCT ON (station, instrument) * FROM km8_reading
  ORDER BY station, instrument, taken_at DESC"
latest_after="SELECT * FROM km8_latest ORDER BY station, instrument"
hour="SELECT station, instrument, taken_at, t1, t2, t3, t4, t5, t6, t7, t8 FROM km8_reading
  WHERE taken_at > now() - interval '1 hour' ORDER BY station, instrument, taken_at"

echo "plant_queries: $stations stations x $each rows = $((stations * each)) live rows"
for partitioned in off on; do
  db=bench_$partitioned
  "${psql[@]}" -o /dev/null -v dbname="$db" -v partitioned=$partitioned \
    -f "$here/sql/km8-plant-setup.sql" postgres
  # One row a second from every station, the newest now, as they would have arrived.
  start=$(date +%s)
  "${psql[@]}" -d "$db" -c "SET maintenance_work_mem = '256MB'" -c "
    INSERT INTO km8_reading SELECT 'Піч №' || s, 1, now() - (k * interval '1 second'),
           20 + s % 50, 21, 22, 23, 24, 25, 26, 27
      FROM generate_series($each - 1, 0, -1) k, generate_series(1, $stations) s
     ORDER BY k DESC, s" \
    -c "VACUUM ANALYZE"
  echo "partitioned=$partitioned: filled in $(($(date +%s) - start)) s"
  echo "  every station's latest values: $(timed "$db" "$latest_after") ms" \
    "(DISTINCT ON over the readings: $(timed "$db" "$latest_before") ms)"
  echo "  all stations, the last hour:   $(timed "$db" "$hour") ms" \
    "(without the index on time: $("${psql[@]}" -d "$db" -At -c "SET enable_bitmapscan = off" \
      -c "EXPLAIN (ANALYZE, FORMAT JSON) $hour" |
      sed -n 's/.*"Execution Time": \([0-9.]*\).*/\1/p') ms)"
  "${psql[@]}" -d postgres -c "DROP DATABASE $db"
done
