#!/usr/bin/env bash
# Loads parcels into the test server started by tools/pg-start.sh.
#
#   tools/pg-load-parcels.sh <state-dir> <table> <count> [--index] [--from <file>]
#
# Without --from, the server makes <count> square parcels on a grid itself
# (EPSG:3857, 90 m squares 100 m apart), stored in a shuffled order so that the
# table's order is not the sorted order of its IDs. Columns:
#   fid        integer primary key (the feature id)
#   parcel_id  text, 'BBB-NNNN' (block and number), unique
#   parcel_no  integer, unique (1 .. count)
#   owner      text
#   geom       polygon
# With --from, <file> (any vector file GDAL reads, e.g. the sample GeoPackage)
# is copied into <table> by ogr2ogr, with its first layer, in EPSG:3857. --index adds a btree
# index on parcel_id and parcel_no; without it only the primary key is indexed.
set -euo pipefail

STATE=${1:?usage: pg-load-parcels.sh <state-dir> <table> <count> [--index] [--from file]}
TABLE=${2:?table name}
COUNT=${3:?parcel count}
shift 3
INDEX=0
FROM=""
while [ $# -gt 0 ]; do
  case "$1" in
    --index) INDEX=1 ;;
    --from)
      FROM=$2
      shift
      ;;
    *)
      echo "pg-load-parcels: unknown option $1" >&2
      exit 2
      ;;
  esac
  shift
done

case "$TABLE" in
  *[!a-z0-9_]* | "")
    echo "pg-load-parcels: table names are lower-case letters, digits and _" >&2
    exit 2
    ;;
esac
case "$COUNT" in
  *[!0-9]* | "")
    echo "pg-load-parcels: the count is a whole number" >&2
    exit 2
    ;;
esac

set -a
. "$STATE/env"
set +a
PSQL=(psql -X -q -v ON_ERROR_STOP=1)

if [ -n "$FROM" ]; then
  ogr2ogr -f PostgreSQL "PG:$(cat "$STATE/conninfo")" "$FROM" -nln "$TABLE" -t_srs EPSG:3857 \
    -lco GEOMETRY_NAME=geom -lco FID=fid -lco SPATIAL_INDEX=GIST -overwrite
else
  "${PSQL[@]}" <<SQL
SET client_min_messages = warning;
DROP TABLE IF EXISTS $TABLE;
CREATE TABLE $TABLE (
  fid integer PRIMARY KEY,
  parcel_id text NOT NULL,
  parcel_no integer NOT NULL,
  owner text,
  geom geometry(Polygon, 3857) NOT NULL
);
INSERT INTO $TABLE (fid, parcel_id, parcel_no, owner, geom)
SELECT row_number() OVER (ORDER BY md5(n::text)),
       lpad((n / 10000)::text, 3, '0') || '-' || lpad((n % 10000)::text, 4, '0'),
       n,
       'Owner ' || (n % 997),
       ST_MakeEnvelope(x, y, x + 90, y + 90, 3857)
FROM (
  SELECT n,
         ((n - 1) % g.side) * 100.0 AS x,
         ((n - 1) / g.side) * 100.0 AS y
  FROM generate_series(1, $COUNT) AS n,
       (SELECT greatest(1, ceil(sqrt($COUNT))::integer) AS side) AS g
) AS cells
ORDER BY md5(n::text);
CREATE INDEX ${TABLE}_geom_idx ON $TABLE USING gist (geom);
SQL
fi

if [ "$INDEX" -eq 1 ]; then
  "${PSQL[@]}" -c "CREATE INDEX ${TABLE}_parcel_id_idx ON $TABLE (parcel_id)"
  if [ -z "$FROM" ]; then
    "${PSQL[@]}" -c "CREATE INDEX ${TABLE}_parcel_no_idx ON $TABLE (parcel_no)"
  fi
fi
# A table in use has been vacuumed by the server's autovacuum: its statistics
# are gathered and its pages marked all-visible, so that a column can be read
# from its index alone. Just after a load a pass may leave pages unmarked, so
# it is run until none is.
"${PSQL[@]}" -c "ANALYZE $TABLE"
for _ in 1 2 3 4 5 6; do
  "${PSQL[@]}" -c "VACUUM $TABLE"
  [ "$("${PSQL[@]}" -At -c "SELECT relallvisible >= relpages FROM pg_class WHERE oid = '$TABLE'::regclass")" = t ] && break
  sleep 1
done
echo "pg-load-parcels: $TABLE holds $("${PSQL[@]}" -At -c "SELECT count(*) FROM $TABLE") parcels"
