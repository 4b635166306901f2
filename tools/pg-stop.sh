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
  # A server that a test paused (pg-pause.sh freeze) and left so goes on
  # first: paused, it would not stop.
  PM=$(head -1 "$DATA/db/postmaster.pid")
  # shellcheck disable=SC2046
  kill -CONT $(pgrep -P "$PM") "$PM" 2>/dev/null || true
  as_server_user "$PGBIN/pg_ctl" -D "$DATA/db" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
fi
# Only ever remove a folder this script family made.
case "$DATA" in
  /tmp/larkhill-pg.*) rm -rf "$DATA" ;;
esac
rm -f "$STATE/datadir" "$STATE/conninfo" "$STATE/env" "$STATE/server.log"
echo "pg-stop: stopped"
exit 0
