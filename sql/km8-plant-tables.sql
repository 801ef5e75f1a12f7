-- The plant database's tables, made where they are missing. Run by every station that
-- finds them missing (with its own role's rights, in one transaction) and by
-- km8-plant-setup.sql; running it again changes nothing.
-- Stations starting together do not race.
DO $$ BEGIN PERFORM pg_advisory_xact_lock(4281048); END $$;

CREATE TABLE IF NOT EXISTS km8_schema (version integer NOT NULL);

-- One row per chart sample of every station.
CREATE TABLE IF NOT EXISTS km8_reading (
  station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL,
  t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real,
  PRIMARY KEY (station, instrument, taken_at));
-- "All stations, the last hour": rows come in roughly in time order, so a small block
-- range index serves it.
CREATE INDEX IF NOT EXISTS km8_reading_taken_at ON km8_reading USING brin (taken_at);

-- The records of every archive reading; n tells apart records of one reading that share
-- their stamp (an archive interval of 0).
CREATE TABLE IF NOT EXISTS km8_archive (
  station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL,
  n smallint NOT NULL DEFAULT 0,
  t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real,
  PRIMARY KEY (station, instrument, taken_at, n));

-- Every series' newest row, for dashboards: kept by the trigger below with the rights of
-- the tables' owner, so that a feeding role needs no right on it.
CREATE TABLE IF NOT EXISTS km8_latest (
  station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL,
  t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real,
  PRIMARY KEY (station, instrument));

CREATE OR REPLACE FUNCTION km8_keep_latest() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
BEGIN
  INSERT INTO km8_latest AS l
  SELECT DISTINCT ON (station, instrument) station, instrument, taken_at,
         t1, t2, t3, t4, t5, t6, t7, t8
    FROM km8_new_readings ORDER BY station, instrument, taken_at DESC
  ON CONFLICT (station, instrument) DO UPDATE
    SET taken_at = excluded.taken_at, t1 = excluded.t1, t2 = excluded.t2, t3 = excluded.t3,
        t4 = excluded.t4, t5 = excluded.t5, t6 = excluded.t6, t7 = excluded.t7, t8 = excluded.t8
    WHERE l.taken_at < excluded.taken_at;
  RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION km8_keep_latest() FROM PUBLIC;

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_trigger
                  WHERE tgname = 'km8_reading_latest' AND tgrelid = 'km8_reading'::regclass) THEN
    CREATE TRIGGER km8_reading_latest AFTER INSERT ON km8_reading
      REFERENCING NEW TABLE AS km8_new_readings
      FOR EACH STATEMENT EXECUTE FUNCTION km8_keep_latest();
  END IF;
END $$;

-- The newest row of every series already there (tables of an earlier version), found
-- through the key's index one series at a time rather than by sorting the whole table.
INSERT INTO km8_latest
WITH RECURSIVE series AS (
  (SELECT station, instrument FROM km8_reading ORDER BY station, instrument LIMIT 1)
  UNION ALL
  SELECT next.station, next.instrument FROM series, LATERAL (
    SELECT station, instrument FROM km8_reading r
     WHERE (r.station, r.instrument) > (series.station, series.instrument)
     ORDER BY station, instrument LIMIT 1) next)
SELECT series.station, series.instrument, newest.*
  FROM series, LATERAL (
    SELECT taken_at, t1, t2, t3, t4, t5, t6, t7, t8 FROM km8_reading r
     WHERE r.station = series.station AND r.instrument = series.instrument
     ORDER BY taken_at DESC LIMIT 1) newest
ON CONFLICT DO NOTHING;

INSERT INTO km8_schema (version) SELECT 3 WHERE NOT EXISTS (SELECT FROM km8_schema);
