-- Sets up a PostgreSQL server for the stations' plant database: the database, a role the
-- stations feed with and a read-only role for dashboards and reports, the tables and
-- their indexes, and no more rights than each needs. Run by the administrator as a
-- superuser (or a role with CREATEDB and CREATEROLE), from this folder or any other:
--
--   psql -v ON_ERROR_STOP=1 -f km8-plant-setup.sql postgres
--
-- Names and choices, each optional (the defaults shown):
--   -v dbname=plant  -v feeder=km8  -v reader=km8_reader  -v partitioned=off
-- partitioned=on keeps km8_reading in a partition a month (see km8_reading_add_months
-- below), so that old months are detached or dropped at once. Running it again changes
-- nothing that is there. The roles get no password here: set one with \password, or
-- use certificates (see pg_hba.conf in the README).
\set ON_ERROR_STOP on
\if :{?dbname}
\else
  \set dbname plant
\endif
\if :{?feeder}
\else
  \set feeder km8
\endif
\if :{?reader}
\else
  \set reader km8_reader
\endif
\if :{?partitioned}
\else
  \set partitioned off
\endif

SELECT format('CREATE ROLE %I LOGIN', :'feeder')
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = :'feeder') \gexec
SELECT format('CREATE ROLE %I LOGIN', :'reader')
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = :'reader') \gexec
SELECT format('CREATE DATABASE %I ENCODING UTF8 TEMPLATE template0', :'dbname')
 WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = :'dbname') \gexec
REVOKE ALL ON DATABASE :"dbname" FROM PUBLIC;
GRANT CONNECT ON DATABASE :"dbname" TO :"feeder", :"reader";

\connect :"dbname"
SET client_min_messages = warning;
-- Only the administrator makes objects here (the default from PostgreSQL 15 on).
REVOKE CREATE ON SCHEMA public FROM PUBLIC;

\if :partitioned
CREATE TABLE IF NOT EXISTS km8_reading (
  station text NOT NULL, instrument smallint NOT NULL, taken_at timestamptz NOT NULL,
  t1 real, t2 real, t3 real, t4 real, t5 real, t6 real, t7 real, t8 real,
  PRIMARY KEY (station, instrument, taken_at))
  PARTITION BY RANGE (taken_at);
-- Rows of a month that has no partition (a clock far off, a backlog older than the
-- partitions) are kept here rather than refused.
CREATE TABLE IF NOT EXISTS km8_reading_default PARTITION OF km8_reading DEFAULT;

-- Makes the partitions of this month and of the `ahead` months after it (UTC months,
-- named km8_reading_YYYY_MM) where they are missing. Run it once a month, for instance
-- from cron: psql -d plant -c 'SELECT km8_reading_add_months(3)'
CREATE OR REPLACE FUNCTION km8_reading_add_months(ahead integer) RETURNS void
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
  first timestamp := date_trunc('month', now() AT TIME ZONE 'UTC');
  month timestamp;
BEGIN
  FOR i IN 0 .. ahead LOOP
    month := first + make_interval(months => i);
    IF to_regclass(format('km8_reading_%s', to_char(month, 'YYYY_MM'))) IS NULL THEN
      EXECUTE format('CREATE TABLE %I PARTITION OF km8_reading FOR VALUES FROM (%L) TO (%L)',
                     format('km8_reading_%s', to_char(month, 'YYYY_MM')),
                     month AT TIME ZONE 'UTC', (month + interval '1 month') AT TIME ZONE 'UTC');
    END IF;
  END LOOP;
END $$;
SELECT km8_reading_add_months(3) \gset
\endif

BEGIN;
\ir km8-plant-tables.sql
COMMIT;

-- The stations: read the version, insert readings, and read an archive's stored records
-- before inserting a reading again (so that a record read twice is stored once).
GRANT USAGE ON SCHEMA public TO :"feeder", :"reader";
GRANT SELECT ON km8_schema TO :"feeder";
GRANT INSERT ON km8_reading TO :"feeder";
GRANT SELECT, INSERT ON km8_archive TO :"feeder";
-- Dashboards and reports: read everything, write nothing.
GRANT SELECT ON km8_schema, km8_reading, km8_archive, km8_latest TO :"reader";
