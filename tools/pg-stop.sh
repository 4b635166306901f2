#!/usr/bin/env bash
# Stops the server that tools/pg-start.sh started and removes its data folder.
#
#   tools/pg-stop.sh <state-dir>
#
# Safe to call when the server is already stopped or was never started.
set -uo pipefail

STATE=${1:?usage: pg-stop.sh <state-dir>}
PGBIN=${LARKHILL_PGBIN:-/usr/lib/postgresql/15/bin}

[ -f "$STATE/datadir" ] || exit 0
DATA=$(cat "$STATE/datadir")

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

if [ -f "$DATA/db/postmaster.pid" ]; then
  as_server_user "$PGBIN/pg_ctl" -D "$DATA/db" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
fi
# Only ever remove a folder this script family made.
case "$DATA" in
  /tmp/larkhill-pg.*) rm -rf "$DATA" ;;
esac
rm -f "$STATE/datadir" "$STATE/conninfo" "$STATE/env" "$STATE/server.log"
echo "pg-stop: stopped"
exit 0
