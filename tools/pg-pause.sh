#!/usr/bin/env bash
# Takes the test server down and brings it back, keeping its data, so that
# tests can see what the component does when its database goes away; or
# pauses its processes (SIGSTOP by process id) and lets them go on, as a
# server that stops answering without closing its connections; or kills its
# postmaster outright (SIGKILL), as a crash would, after which "up" starts it
# again.
#
#   tools/pg-pause.sh <state-dir> down|up|freeze|thaw|kill
set -euo pipefail

STATE=${1:?usage: pg-pause.sh <state-dir> down|up|freeze|thaw|kill}
WHAT=${2:?usage: pg-pause.sh <state-dir> down|up|freeze|thaw|kill}
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
  kill)
    PM=$(head -1 "$DATA/db/postmaster.pid")
    KIDS=$(pgrep -P "$PM" | tr '\n' ' ')
    kill -KILL "$PM"
    # Its processes notice and end, closing their connections; the next start needs them gone.
    for _ in $(seq 100); do
      alive=0
      for pid in $PM $KIDS; do [ -d "/proc/$pid" ] && alive=1; done
      [ "$alive" -eq 0 ] && break
      sleep 0.1
    done
    ;;
  *)
    echo "pg-pause: say down, up, freeze, thaw or kill" >&2
    exit 2
    ;;
esac
