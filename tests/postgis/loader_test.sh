#!/usr/bin/env bash
# Checks the parcels the database tests rely on: the loaded tables hold every
# parcel once, in an order that is not the sorted order, with the ID index only
# where it was asked for, and parcels that do not overlap.
set -euo pipefail
: "${LARKHILL_PG_STATE:?}"
set -a
. "$LARKHILL_PG_STATE/env"
set +a
q() { psql -X -At -v ON_ERROR_STOP=1 -c "$1"; }
fails=0
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected '$3', got '$2'"
    fails=$((fails + 1))
  else
    echo "ok: $1"
  fi
}

for t in parcels_idx parcels_noidx; do
  expect "$t row count" "$(q "SELECT count(*) FROM $t")" 2000
  expect "$t distinct text IDs" "$(q "SELECT count(DISTINCT parcel_id) FROM $t")" 2000
  expect "$t integer IDs 1..2000" "$(q "SELECT min(parcel_no) || ' ' || max(parcel_no) || ' ' || count(DISTINCT parcel_no) FROM $t")" "1 2000 2000"
  expect "$t feature ids 1..2000" "$(q "SELECT min(fid) || ' ' || max(fid) FROM $t")" "1 2000"
  # The table's own order must differ from the sorted order, or a list that
  # forgot to sort would pass.
  sorted_first=$(q "SELECT parcel_id FROM $t ORDER BY parcel_id LIMIT 1")
  table_first=$(q "SELECT parcel_id FROM $t ORDER BY fid LIMIT 1")
  if [ "$sorted_first" = "$table_first" ]; then
    echo "FAIL: $t is stored in sorted order"
    fails=$((fails + 1))
  fi
  expect "$t parcels do not overlap" "$(q "SELECT count(*) FROM $t a JOIN $t b ON a.fid < b.fid AND ST_Intersects(a.geom, b.geom) WHERE a.fid <= 50")" 0
  expect "$t parcel 000-0001 square" "$(q "SELECT ST_AsText(ST_Envelope(geom)) FROM $t WHERE parcel_id = '000-0001'")" \
    "POLYGON((0 0,0 90,90 90,90 0,0 0))"
done
expect "ID index on the indexed table" "$(q "SELECT count(*) FROM pg_indexes WHERE tablename = 'parcels_idx' AND indexdef LIKE '%(parcel_id)%'")" 1
expect "no ID index on the other table" "$(q "SELECT count(*) FROM pg_indexes WHERE tablename = 'parcels_noidx' AND indexdef LIKE '%(parcel_id)%'")" 0
expect "text ID lookup uses the index" \
  "$(q "SET enable_seqscan = off; EXPLAIN SELECT fid FROM parcels_idx WHERE parcel_id = '001-0042'" | grep -c parcel_id_idx)" 1

[ "$fails" -eq 0 ] || exit 1
