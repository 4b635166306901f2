#!/usr/bin/env bash
# Starts a throw-away PostgreSQL 15 + PostGIS server for the database tests.
#
#   tools/pg-start.sh <state-dir> [port]
#
# The server's data folder is a fresh temporary folder; the server listens on
# 127.0.0.1 only, on the given port or else on the first free port from 55432
# on (several builds may run their tests at once), with trust authentication
# for the superuser "postgres", and holds one database "larkhill" with the
# postgis extension. One more login, "larkhill_login" with the password
# "larkhill", has its password checked, for tests of a wrong password.
# <state-dir> receives:
#   datadir    the path of the data folder (tools/pg-stop.sh reads it)
#   conninfo   a libpq connection string for the database
#   env        shell assignments PGHOST, PGPORT, PGUSER, PGDATABASE
#   server.log the server's log
# PostgreSQL refuses to run as root, so as root the server runs as the
# "postgres" system user, which then owns the data folder.
set -euo pipefail

STATE=${1:?usage: pg-start.sh <state-dir> [port]}
PORT=${2:-}
PGBIN=${LARKHILL_PGBIN:-/usr/lib/postgresql/15/bin}
DB=larkhill

mkdir -p "$STATE"
STATE=$(cd "$STATE" && pwd)

# A server left running by an earlier, interrupted run is stopped first.
if [ -f "$STATE/datadir" ]; then
  "$(dirname "$0")/pg-stop.sh" "$STATE" >/dev/null || true
fi

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

DATA=$(mktemp -d /tmp/larkhill-pg.XXXXXX)
echo "$DATA" >"$STATE/datadir"
LOG=$DATA/server.log
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$DATA"
fi
chmod 700 "$DATA"

as_server_user "$PGBIN/initdb" -D "$DATA/db" -U postgres --auth=trust --encoding=UTF8 \
  --locale=C.UTF-8 >"$DATA/initdb.log" 2>&1 || {
  cat "$DATA/initdb.log" >&2
  exit 1
}

# Only TCP on 127.0.0.1; the socket goes into the data folder, away from the
# system's /var/run/postgresql. Small settings suit a test machine.
cat >>"$DATA/db/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$DATA'
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 64MB
max_connections = 40
EOF
cp "$DATA/db/postgresql.conf" "$DATA/postgresql.conf.base"
sed -i '1i host all larkhill_login 127.0.0.1/32 scram-sha-256' "$DATA/db/pg_hba.conf"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

start_on() {
  cp "$DATA/postgresql.conf.base" "$DATA/db/postgresql.conf"
  echo "port = $1" >>"$DATA/db/postgresql.conf"
  as_server_user "$PGBIN/pg_ctl" -D "$DATA/db" -l "$LOG" -w -t 60 start >/dev/null
}

if [ -n "$PORT" ]; then
  if ! start_on "$PORT"; then
    echo "pg-start: the server did not start on port $PORT:" >&2
    cat "$LOG" >&2 || true
    exit 1
  fi
else
  started=0
  for candidate in $(seq 55432 55531); do
    port_in_use "$candidate" && continue
    if start_on "$candidate"; then
      PORT=$candidate
      started=1
      break
    fi
  done
  if [ "$started" -ne 1 ]; then
    echo "pg-start: the server did not start on any port from 55432 to 55531:" >&2
    cat "$LOG" >&2 || true
    exit 1
  fi
fi
ln -sf "$LOG" "$STATE/server.log"

PSQL=(psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$PORT" -U postgres)
"${PSQL[@]}" -d postgres -c "CREATE DATABASE $DB"
"${PSQL[@]}" -d "$DB" -c "CREATE EXTENSION postgis"
"${PSQL[@]}" -d "$DB" -c "CREATE ROLE larkhill_login LOGIN PASSWORD 'larkhill'"

echo "host=127.0.0.1 port=$PORT dbname=$DB user=postgres connect_timeout=5" >"$STATE/conninfo"
cat >"$STATE/env" <<EOF
PGHOST=127.0.0.1
PGPORT=$PORT
PGUSER=postgres
PGDATABASE=$DB
EOF
echo "pg-start: PostgreSQL with PostGIS on 127.0.0.1:$PORT, data in $DATA"
