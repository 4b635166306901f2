#!/usr/bin/env bash
# The whole parcel search on PostGIS through the map application's scripted
# session: configure, list, "Go", click an entry, zoom; a text and an integer
# ID, on the table with the btree ID index and on the one without; a table
# added through the File menu, and tables it cannot open. Then
# projects whose layer has a wrong connection or a missing table: the
# application says so, in bounded time, and the search still works on the
# layers that open. Then an ID that two parcels share: the first is marked
# and the status bar counts them. Last, a server that stops answering, and
# one whose postmaster is killed, while the list loads, at its row count and
# before a click.
#
#   app_session_test.sh <larkhill-map> <larkhill-sample>
set -uo pipefail
MAP=${1:?usage: app_session_test.sh <larkhill-map> <larkhill-sample>}
SAMPLE=${2:?usage: app_session_test.sh <larkhill-map> <larkhill-sample>}
: "${LARKHILL_PG_STATE:?}"
HERE=$(cd "$(dirname "$0")" && pwd)
PY=/usr/bin/python3
WORK=$(mktemp -d /tmp/larkhill-pgapp.XXXXXX)
SILENT_PID=
trap '[ -n "$SILENT_PID" ] && kill "$SILENT_PID" 2>/dev/null; rm -rf "$WORK"' EXIT
CONN=$(cat "$LARKHILL_PG_STATE/conninfo")
fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}

make_project() { # <file> <conninfo> <name>=<table>...
  XDG_CONFIG_HOME=$WORK/maker QT_QPA_PLATFORM=offscreen "$PY" "$HERE/make_pg_project.py" "$@" 2>"$WORK/make.log" || {
    cat "$WORK/make.log"
    exit 1
  }
}
make_project "$WORK/parcels.qgs" "$CONN" "Parcels=parcels_idx" "Parcels without index=parcels_noidx"

# The extent "ZOOM" reports for parcel n of the 2,000 (45 a row, 90 m squares
# 100 m apart) with the search window's margin.
extent_of() {
  local n=$1 x y
  x=$((((n - 1) % 45) * 100))
  y=$((((n - 1) / 45) * 100))
  printf '(%d.00, %d.00) - (%d.00, %d.00)' $((x - 9)) $((y - 9)) $((x + 99)) $((y + 99))
}

# session <name> <project> <script text>: runs the map application on the
# project with a fresh configuration; the transcript is $WORK/<name>.out.
session() {
  local name=$1 project=$2
  mkdir -p "$WORK/$name"
  printf '%s\n' "$3" >"$WORK/$name.script"
  local start end
  start=$(date +%s)
  XDG_DATA_HOME=$WORK/$name/data XDG_CONFIG_HOME=$WORK/$name/config QT_QPA_PLATFORM=offscreen LARKHILL_SCRIPT_KEEP_CONFIG=1 \
    timeout -k 5 120 "$MAP" --script "$WORK/$name.script" "$project" >"$WORK/$name.out" 2>"$WORK/$name.err"
  status=$?
  end=$(date +%s)
  seconds=$((end - start))
  if [ "$status" -ne 0 ]; then
    fail "$name: the application ended with status $status"
    sed 's/^/    /' "$WORK/$name.out" "$WORK/$name.err" | tail -30
  fi
}

expect_line() { # <name> <text>
  grep -qF -- "$2" "$WORK/$1.out" || fail "$1: no line with: $2"
}

story() { # <name> <layer> <field> <typed> <go n> <picked entry> <picked n>
  local name=$1 layer=$2 field=$3 typed=$4 go=$5 picked=$6 pickedn=$7 before=$fails
  session "$name" "$WORK/parcels.qgs" "press LarkhillParcelSearch
pick frmConfig/List1 $layer
pick frmConfig/List2 $field
click frmConfig/Command1
type frmMain/Text1 $typed
click frmMain/Command4
pick frmMain/List1 $picked"
  expect_line "$name" "MESSAGE BOX: Tool is not configured."
  expect_line "$name" "(LarkhillParcelSearch): 2000 entries, selected: none"
  expect_line "$name" "ZOOM: extent set to $(extent_of "$go");"
  expect_line "$name" "ZOOM: extent set to $(extent_of "$pickedn");"
  expect_line "$name" "End of script."
  [ "$(grep -c '^MESSAGE BOX' "$WORK/$name.out")" -eq 1 ] || fail "$name: more than the one expected message"
  local config="$WORK/$name/data/LarkhillGIS/LarkhillParcelSearch/config"
  [ "$(cat "$config" 2>/dev/null)" = "$(printf '"%s"\r\n"%s"\r' "$layer" "$field")" ] ||
    fail "$name: the configuration file does not hold $layer / $field"
  [ "$fails" -eq "$before" ] && echo "ok: $name (${seconds}s)"
}

# Text IDs sort as text: "000-123" first matches 000-1230. Integer IDs list as
# their text too: "123" is itself an entry.
story text-indexed "Parcels" parcel_id 000-123 1230 000-0042 42
story text-unindexed "Parcels without index" parcel_id 000-123 1230 000-0042 42
story integer-indexed "Parcels" parcel_no 123 123 1999 1999
story integer-unindexed "Parcels without index" parcel_no 123 123 1999 1999

# Tables added through File > Add PostGIS Layer are searched like a project's
# layers: one by its URI, whose database is saved as a connection, then one
# from that saved connection.
before=$fails
session added-tables "$WORK/parcels.qgs" "press Add PostGIS Layer
type postgisLayerDialog/uri $CONN table=\"public\".\"parcels_noidx\" (geom)
type postgisLayerDialog/saveAs town
click postgisLayerDialog/ok
press Add PostGIS Layer
pick postgisLayerDialog/connection town
pick postgisLayerDialog/table parcels_big
click postgisLayerDialog/ok
press LarkhillParcelSearch
pick frmConfig/List1 parcels_big
pick frmConfig/List2 parcel_id
click frmConfig/Command1
click frmMain/Command1
pick frmConfig/List1 parcels_noidx
pick frmConfig/List2 parcel_id
click frmConfig/Command1"
expect_line added-tables "(LarkhillParcelSearch): 20000 entries, selected: none"
expect_line added-tables "(LarkhillParcelSearch): 2000 entries, selected: none"
grep -q "^MESSAGE BOX: Choose\|^SCRIPT ERROR" "$WORK/added-tables.out" && fail "added-tables: a table was not added"
[ "$fails" -eq "$before" ] && echo "ok: added-tables (${seconds}s)"

# Tables File > Add PostGIS Layer cannot open: a missing table, a wrong
# password, a server that refuses the connection. Each is said in a message
# that names the database and the reason, and the application goes on.
BAD=$(echo "$CONN" | sed 's/port=[0-9]*/port=1/')
WRONG=$(echo "$CONN" | sed 's/user=postgres/user=larkhill_login password=wrong/')
before=$fails
session unopened-tables "$WORK/parcels.qgs" "press Add PostGIS Layer
type postgisLayerDialog/uri $CONN table=\"public\".\"no_such_table\" (geom)
click postgisLayerDialog/ok
press Add PostGIS Layer
type postgisLayerDialog/uri $WRONG table=\"public\".\"parcels_idx\" (geom)
click postgisLayerDialog/ok
press Add PostGIS Layer
type postgisLayerDialog/uri $BAD table=\"public\".\"parcels_idx\" (geom)
click postgisLayerDialog/ok"
SERVER=$(sed -n 's/.*host=\([^ ]*\).*port=\([0-9]*\).*/\1:\2/p' <<<"$CONN")
expect_line unopened-tables "MESSAGE BOX: The table \"public\".\"no_such_table\" of database \"larkhill\" on $SERVER cannot be opened: "
grep -F "no_such_table" "$WORK/unopened-tables.out" | grep -q "does not exist" || fail "unopened-tables: no reason for the missing table"
expect_line unopened-tables "MESSAGE BOX: The table \"public\".\"parcels_idx\" of database \"larkhill\" on $SERVER cannot be opened: "
grep -q "^MESSAGE BOX: .*password authentication failed" "$WORK/unopened-tables.out" || fail "unopened-tables: no reason for the wrong password"
grep -q "^MESSAGE BOX: The table .* on 127.0.0.1:1 cannot be opened: ." "$WORK/unopened-tables.out" || fail "unopened-tables: no message for the refused connection"
expect_line unopened-tables "End of script."
[ "$fails" -eq "$before" ] && echo "ok: unopened-tables (${seconds}s)"

# A layer the application cannot open: a refused connection, a missing table
# and a server that takes the connection and never answers. Each is named in a
# clear message, in bounded time (the application gives a connection attempt
# 10 seconds); the other layer still works.
"$PY" -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(16)
print(s.getsockname()[1], flush=True)
time.sleep(300)
' >"$WORK/silent.port" &
SILENT_PID=$!
for _ in $(seq 50); do [ -s "$WORK/silent.port" ] && break; sleep 0.1; done
SILENT=$(echo "$CONN" | sed "s/port=[0-9]*/port=$(cat "$WORK/silent.port")/")
make_project "$WORK/refused.qgs" "$BAD" "Refused=parcels_idx"
make_project "$WORK/missing.qgs" "$CONN" "Parcels=parcels_idx" "Missing=no_such_table"
make_project "$WORK/unanswered.qgs" "$SILENT" "Unanswered=parcels_idx"
for name in refused missing unanswered; do
  before=$fails
  session "$name" "$WORK/$name.qgs" "press LarkhillParcelSearch"
  layer=$(case $name in refused) echo Refused ;; missing) echo Missing ;; *) echo Unanswered ;; esac)
  expect_line "$name" "MESSAGE BOX: Layer \"$layer\" cannot be opened"
  [ "$seconds" -lt 40 ] || fail "$name: took $seconds s"
  [ "$fails" -eq "$before" ] && echo "ok: $name (${seconds}s)"
done
[ "$seconds" -ge 8 ] || fail "unanswered: gave up after $seconds s, before the connection bound"
expect_line missing "LIST frmConfig/List1 (LarkhillParcelSearch - Configure): 1 entries"

# The sample town's condominium parcels 49 and 50 share the ID 01-000-0049.
before=$fails
"$SAMPLE" --count 300 --shared-ids --no-project "$WORK/town" >"$WORK/town.log" 2>&1 || fail "sample: $(cat "$WORK/town.log")"
"$LARKHILL_TOOLS/pg-load-parcels.sh" "$LARKHILL_PG_STATE" town_shared 300 --from "$WORK/town/parcels.shp" >"$WORK/load.log" 2>&1 ||
  fail "loading the town: $(cat "$WORK/load.log")"
make_project "$WORK/shared.qgs" "$CONN" "Parcels=town_shared"
first_fid() { psql "$CONN" -X -tAc "SELECT fid FROM town_shared WHERE parcel_id = '$1' ORDER BY fid LIMIT 1"; }
session shared "$WORK/shared.qgs" "press LarkhillParcelSearch
pick frmConfig/List1 Parcels
pick frmConfig/List2 parcel_id
click frmConfig/Command1
type frmMain/Text1 01-000-0049
click frmMain/Command4
type frmMain/Text1 01-000-0051
click frmMain/Command4"
expect_line shared "HIGHLIGHT: Parcels feature $(first_fid 01-000-0049)"
expect_line shared "STATUS: 2 parcels have the ID 01-000-0049; the first is shown."
expect_line shared "HIGHLIGHT: Parcels feature $(first_fid 01-000-0051)"
[ "$(grep -c 'parcels have the ID' "$WORK/shared.out")" -eq 1 ] || fail "shared: the count was said for an ID of one parcel"
[ "$(grep -c '^MESSAGE BOX' "$WORK/shared.out")" -eq 1 ] || fail "shared: a message box besides the first"
[ "$fails" -eq "$before" ] && echo "ok: shared (${seconds}s)"

# A server that stops answering, and one whose postmaster is killed: a relay
# in front of it pauses the server's processes (SIGSTOP by process id), or
# kills its postmaster, when the list's query, its row count or the click's
# query goes out. Each wait ends within the limit (QGIS's PostgreSQL timeout
# setting, 3 seconds here) plus 5 s in the tool's error report of 19 lines,
# which says that the database did not answer or that the connection was
# closed, and the application then exits, although a map drawing waits on the
# paused server too.
LIMIT=3
SERVER_PORT=$(sed -n 's/.*port=\([0-9]*\).*/\1/p' <<<"$CONN")
RELAY_PID=
restore() { # the server as it was: going on again, or started again after a kill
  [ -n "$RELAY_PID" ] && kill "$RELAY_PID" 2>/dev/null
  RELAY_PID=
  if [ -n "$(pgrep -F "$(cat "$LARKHILL_PG_STATE/datadir")/db/postmaster.pid" 2>/dev/null)" ]; then
    "$LARKHILL_TOOLS/pg-pause.sh" "$LARKHILL_PG_STATE" thaw
  else
    "$LARKHILL_TOOLS/pg-pause.sh" "$LARKHILL_PG_STATE" up
  fi
}
trap 'restore; [ -n "$SILENT_PID" ] && kill "$SILENT_PID" 2>/dev/null; rm -rf "$WORK"' EXIT
at() { # <name> <text>: the time in ms of the first transcript line holding the text
  grep -m1 -F -- "$2" "$WORK/$1.out" | cut -d' ' -f1
}
cut_session() { # <name> <freeze|kill> <cue> <script text>
  local name=$1 how=$2 cue=$3 port
  "$PY" "$HERE/pausing_proxy.py" "$SERVER_PORT" "$cue" "$LARKHILL_TOOLS/pg-pause.sh" \
    "$LARKHILL_PG_STATE" "$how" >"$WORK/$name.relay" &
  RELAY_PID=$!
  for _ in $(seq 50); do [ -s "$WORK/$name.relay" ] && break; sleep 0.1; done
  port=$(head -1 "$WORK/$name.relay")
  make_project "$WORK/$name.qgs" "$(echo "$CONN" | sed "s/port=[0-9]*/port=$port/")" "Parcels=parcels_idx"
  local settings=$WORK/$name/data/larkhill-map/profiles/default/LarkhillGIS
  mkdir -p "$WORK/$name/data/LarkhillGIS/LarkhillParcelSearch" "$settings"
  printf '"Parcels"\r\n"parcel_id"\r\n' >"$WORK/$name/data/LarkhillGIS/LarkhillParcelSearch/config"
  printf '[providers]\nPostgreSQL\\default_timeout=%s\n' "$LIMIT" >"$settings/larkhill-map.ini"
  printf '%s\n' "$4" >"$WORK/$name.script"
  # Each transcript line is stamped with the time it came, in ms.
  XDG_DATA_HOME=$WORK/$name/data XDG_CONFIG_HOME=$WORK/$name/config QT_QPA_PLATFORM=offscreen LARKHILL_SCRIPT_KEEP_CONFIG=1 \
    timeout -k 5 120 "$MAP" --script "$WORK/$name.script" "$WORK/$name.qgs" 2>"$WORK/$name.err" |
    while IFS= read -r line; do printf '%s %s\n' "$(date +%s%3N)" "$line"; done >"$WORK/$name.out"
  status=${PIPESTATUS[0]}
  ended=$(date +%s%3N)
  # A kill is done once the server's processes have ended, which may come after the application.
  for _ in $(seq 150); do grep -q '^paused$' "$WORK/$name.relay" && break; sleep 0.1; done
  restore
  [ "$status" -eq 0 ] || fail "$name: the application ended with status $status"
  grep -q '^paused$' "$WORK/$name.relay" || fail "$name: the server was never paused"
  if [ "$how" = freeze ]; then
    expect_line "$name" "ERROR DESCRIPTION: The database did not answer within $LIMIT seconds."
  else
    expect_line "$name" "ERROR DESCRIPTION: The connection to the database was closed."
  fi
  local lines
  lines=$(awk '/MESSAGE BOX: We.re sorry/ { n = 1; next } n && /\(answered OK\)/ { print n; exit } n { n++ }' "$WORK/$name.out")
  [ "$lines" = 19 ] || fail "$name: the error report has ${lines:-no} lines, not 19"
  expect_line "$name" "End of script."
}
within() { # <name> <what> <from ms> <to ms>
  if [ -z "$3" ] || [ -z "$4" ]; then
    fail "$1: $2 never ended"
    return
  fi
  local took=$(($4 - $3))
  echo "  $1: $2 took $took ms"
  [ "$took" -le $(((LIMIT + 5) * 1000)) ] || fail "$1: $2 took more than the limit and 5 s"
}

for how in freeze kill; do
  what=$([ "$how" = freeze ] && echo paused || echo killed)
  # QGIS's own count(*) at a layer's opening reads pg_inherits.
  for at_cue in "list:COPY (SELECT" 'count:count(*) FROM "public"'; do
    name=$what-${at_cue%%:*}
    before=$fails
    cut_session "$name" "$how" "${at_cue#*:}" "press LarkhillParcelSearch
key mapCanvas Up
wait 500"
    within "$name" "the list load" "$(at "$name" '> press')" "$(at "$name" '> key')"
    within "$name" "the exit" "$(at "$name" 'End of script.')" "$ended"
    [ "${at_cue%%:*}" = count ] || expect_line "$name" "(LarkhillParcelSearch): 0 entries"
    [ "$fails" -eq "$before" ] && echo "ok: $name"
  done
  name=$what-click
  before=$fails
  cut_session "$name" "$how" "000-0042" "press LarkhillParcelSearch
pick frmMain/List1 000-0042
key mapCanvas Up
wait 500"
  within "$name" "the click" "$(at "$name" '> pick')" "$(at "$name" '> key')"
  within "$name" "the exit" "$(at "$name" 'End of script.')" "$ended"
  expect_line "$name" "(LarkhillParcelSearch): 2000 entries"
  [ "$fails" -eq "$before" ] && echo "ok: $name"
done

[ "$fails" -eq 0 ] || exit 1
echo "All scripted database sessions passed."
