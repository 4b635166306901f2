#!/usr/bin/env bash
# Takes the test server down and brings it back, keeping its data, so that
# tests can see what the component does when its database goes away.
#
#   tools/pg-pause.sh <state-dir> down|up
set -euo pipefail

STATE=${1:?usage: pg-pause.sh <state-dir> down|up}
WHAT=${2:?usage: pg-pause.sh <state-dir> down|up}
PGBIN=${LARKHILL_PGBIN:-/usr/lib/postgresql/15/bin}
DATA=$(cat "$STATE/datadir")

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

case "$WHAT" in
  down) as_server_user "$PGBIN/pg_ctl" -D "$DATA/db" -m fast -w -t 30 stop >/dev/null ;;
  up) as_server_user "$PGBIN/pg_ctl" -D "$DATA/db" -l "$DATA/server.log" -w -t 60 start >/dev/null ;;
  *)
    echo "pg-pause: say down or up" >&2
    exit 2
    ;;
esac
