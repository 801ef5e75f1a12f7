#!/usr/bin/env bash
# Runs a command with a PostgreSQL server of its own: a fresh cluster in a temporary
# folder, run by an unprivileged user, listening only on a Unix socket in that folder (no
# TCP), stopped and removed when the command ends, whatever happens. The command finds:
#   KM8_TEST_PGHOST  the socket folder (host=... in a connection string)
#   KM8_TEST_PGUSER  the database superuser (trust authentication on the socket)
#   KM8_TEST_PGCTL   a command taking "stop" or "start", for the outage tests
# KM8_PG_FSYNC (off by default, for speed; on for the benchmark) and KM8_PG_MAX_CONNECTIONS
# (100) set the server's own settings of those names.
# Usage: scripts/with-postgres.sh COMMAND [ARG]...
set -euo pipefail

bindir=${KM8_PG_BINDIR:-/usr/lib/postgresql/15/bin}
if [[ ! -x "$bindir/initdb" ]]; then
  echo "with-postgres: no PostgreSQL in $bindir (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

# The server refuses to run as root: as root it runs as the package's postgres user (or
# one made for it here).
runas=()
pguser=$(id -un)
if [[ $(id -u) -eq 0 ]]; then
  pguser=postgres
  if ! id "$pguser" >/dev/null 2>&1; then
    pguser=km8-pg
    id "$pguser" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$pguser"
  fi
  runas=(runuser -u "$pguser" --)
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/km8-pg.XXXXXX")
chmod 755 "$dir"
[[ $(id -u) -eq 0 ]] && chown "$pguser" "$dir"

ctl="$dir/pgctl"
cat >"$ctl" <<CTL
#!/usr/bin/env bash
# stop | start the test server
set -e
case "\$1" in
  stop) ${runas[*]} "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
  start) ${runas[*]} "$bindir/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" \\
           -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=${KM8_PG_FSYNC:-off} -c max_connections=${KM8_PG_MAX_CONNECTIONS:-100}" start >/dev/null ;;
  *) echo "usage: \$0 stop|start" >&2; exit 2 ;;
esac
CTL
chmod 755 "$ctl"

cleanup() {
  "${runas[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"${runas[@]}" "$bindir/initdb" -D "$dir/data" -U "$pguser" --auth=trust -E UTF8 --locale=C.UTF-8 \
  >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
"$ctl" start || { cat "$dir/server.log" >&2; exit 1; }
echo "with-postgres: test server on the socket in $dir (user $pguser)" >&2

export KM8_TEST_PGHOST="$dir" KM8_TEST_PGUSER="$pguser" KM8_TEST_PGCTL="$ctl"
"$@"
