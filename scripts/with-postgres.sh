#!/usr/bin/env bash
# Runs a command with a PostgreSQL server of its own: a fresh cluster in a temporary
# folder, run by an unprivileged user, listening only on a Unix socket in that folder (no
# TCP), stopped and removed when the command ends, whatever happens. The command finds:
#   KM8_TEST_PGHOST  the socket folder (host=... in a connection string)
#   KM8_TEST_PGPORT  the port, with KM8_PG_TCP=1 only
#   KM8_TEST_PGUSER  the database superuser (trust authentication)
#   KM8_TEST_PGCTL   a command taking "stop" or "start", for the outage tests
#   KM8_TEST_PGBIN   the server's programs (psql among them)
#   KM8_TEST_PGROOTCERT, KM8_TEST_PGOTHERCERT  with KM8_PG_TCP=1 only: the certificate
#                    of the authority that signed the server's (for 127.0.0.1), and one
#                    of another authority
# KM8_PG_TCP=1 makes it listen on 127.0.0.1 too, on a free port, with TLS offered, and
# names that host: for the Windows programs under wine, which have no Unix socket. KM8_PG_FSYNC (off by default,
# for speed; on for the benchmark) and KM8_PG_MAX_CONNECTIONS (100) set the server's own
# settings of those names.
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

listen="''"
port=5432
tls=""
if [[ "${KM8_PG_TCP:-0}" == 1 ]]; then
  listen="'127.0.0.1'"
  # A port no one listens on, from the ephemeral range.
  for _ in $(seq 50); do
    port=$((49152 + RANDOM % 16000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  # A certificate for 127.0.0.1 from an authority of its own, and another authority.
  certificate() { # NAME SUBJECT [SIGNER]
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$dir/$1.key" \
      -out "$dir/$1.csr" 2>/dev/null
    if [[ -n "${3:-}" ]]; then
      openssl x509 -req -in "$dir/$1.csr" -CA "$dir/$3.crt" -CAkey "$dir/$3.key" -CAcreateserial \
        -days 2 -extfile <(printf 'subjectAltName=IP:127.0.0.1') -out "$dir/$1.crt" 2>/dev/null
    else
      openssl x509 -req -in "$dir/$1.csr" -signkey "$dir/$1.key" -days 2 \
        -extfile <(printf 'basicConstraints=critical,CA:true') -out "$dir/$1.crt" 2>/dev/null
    fi
  }
  certificate root "km8 test authority"
  certificate other "km8 other authority"
  certificate server 127.0.0.1 root
  chmod 600 "$dir/server.key"
  [[ $(id -u) -eq 0 ]] && chown "$pguser" "$dir/server.key" "$dir/server.crt"
  tls="-c ssl=on -c ssl_cert_file='$dir/server.crt' -c ssl_key_file='$dir/server.key'"
fi

ctl="$dir/pgctl"
cat >"$ctl" <<CTL
#!/usr/bin/env bash
# stop | start the test server
set -e
case "\$1" in
  stop) ${runas[*]} "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
  start) ${runas[*]} "$bindir/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" \\
           -o "-c listen_addresses=$listen -c port=$port $tls -c unix_socket_directories='$dir' -c fsync=${KM8_PG_FSYNC:-off} -c max_connections=${KM8_PG_MAX_CONNECTIONS:-100}" start >/dev/null ;;
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
export KM8_TEST_PGUSER="$pguser" KM8_TEST_PGCTL="$ctl" KM8_TEST_PGBIN="$bindir"
if [[ "${KM8_PG_TCP:-0}" == 1 ]]; then
  echo "with-postgres: test server on 127.0.0.1:$port and the socket in $dir (user $pguser)" >&2
  export KM8_TEST_PGHOST=127.0.0.1 KM8_TEST_PGPORT="$port"
  export KM8_TEST_PGROOTCERT="$dir/root.crt" KM8_TEST_PGOTHERCERT="$dir/other.crt"
else
  echo "with-postgres: test server on the socket in $dir (user $pguser)" >&2
  export KM8_TEST_PGHOST="$dir"
fi
"$@"
