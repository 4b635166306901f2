#!/usr/bin/env bash
# Takes the test server down and brings it back, keeping its data, so that
# tests can see what the component does when its database goes away; or
# pauses its processes (SIGSTOP by process id) and lets them go on, as a
# server that stops answering without closing its connections.
#
#   tools/pg-pause.sh <state-dir> down|up|freeze|thaw
set -euo pipefail

STATE=${1:?usage: pg-pause.sh <state-dir> down|up|freeze|thaw}
WHAT=${2:?usage: pg-pause.sh <state-dir> down|up|freeze|thaw}
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
  freeze | thaw)
    # The postmaster first when pausing, so that it starts no new process; last when resuming.
    PM=$(head -1 "$DATA/db/postmaster.pid")
    KIDS=$(pgrep -P "$PM" | tr '\n' ' ')
    if [ "$WHAT" = freeze ]; then
      kill -STOP "$PM"
      # shellcheck disable=SC2086
      [ -z "$KIDS" ] || kill -STOP $KIDS
    else
      # shellcheck disable=SC2086
      [ -z "$KIDS" ] || kill -CONT $KIDS
      kill -CONT "$PM"
    fi
    ;;
  *)
    echo "pg-pause: say down, up, freeze or thaw" >&2
    exit 2
    ;;
esac
