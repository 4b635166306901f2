"""Writes the parcels and the QGIS project the real-QGIS test opens.

    make_project.py <folder> <count> [<libpq conninfo>]

<folder>/parcels.gpkg holds <count> square parcels (EPSG:3857, 90 m squares
100 m apart on a grid, stored in a shuffled order) with the text ID
"parcel_id" ('BBB-NNNN') and the integer ID "parcel_no"; <folder>/parcels.qgs
is a project with that layer, named "Parcels", plus a group "Reference" holding
a second copy named "Parcels copy", so the layer lists have more than one entry.
With a conninfo, "Parcels" is the same parcels copied into the PostGIS table
public.qgisapp_parcels of that database instead, with the index that lets the
search list be served from the server.
"""
import math
import os
import random
import subprocess
import sys

from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem, QgsDataSourceUri,
                       QgsFeature, QgsField, QgsGeometry, QgsProject, QgsRectangle,
                       QgsVectorFileWriter, QgsVectorLayer, QgsWkbTypes)
from qgis.PyQt.QtCore import QVariant


def parcel_square(n, count):
    side = max(1, math.ceil(math.sqrt(count)))
    x = ((n - 1) % side) * 100.0
    y = ((n - 1) // side) * 100.0
    return x, y, x + 90.0, y + 90.0


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    app = QgsApplication([], False)
    app.initQgis()

    memory = QgsVectorLayer("Polygon?crs=EPSG:3857", "parcels", "memory")
    provider = memory.dataProvider()
    provider.addAttributes([QgsField("parcel_id", QVariant.String),
                            QgsField("parcel_no", QVariant.Int),
                            QgsField("owner", QVariant.String)])
    memory.updateFields()
    order = list(range(1, count + 1))
    random.Random(7).shuffle(order)
    features = []
    for n in order:
        f = QgsFeature(memory.fields())
        f.setAttributes(["%03d-%04d" % (n // 10000, n % 10000), n, "Owner %d" % (n % 997)])
        f.setGeometry(QgsGeometry.fromRect(QgsRectangle(*parcel_square(n, count))))
        features.append(f)
    provider.addFeatures(features)

    path = os.path.join(folder, "parcels.gpkg")
    options = QgsVectorFileWriter.SaveVectorOptions()
    options.driverName = "GPKG"
    options.layerName = "parcels"
    result = QgsVectorFileWriter.writeAsVectorFormatV2(memory, path, QgsProject.instance().transformContext(),
                                                       options)
    if result[0] != QgsVectorFileWriter.NoError:
        raise SystemExit("cannot write %s: %s" % (path, result[1]))

    project = QgsProject.instance()
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:3857"))
    if len(sys.argv) > 3:
        conninfo = sys.argv[3]
        subprocess.run(["ogr2ogr", "-f", "PostgreSQL", "PG:" + conninfo, path, "parcels",
                        "-nln", "qgisapp_parcels", "-lco", "GEOMETRY_NAME=geom", "-lco", "FID=fid",
                        "-overwrite"], check=True)
        subprocess.run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", conninfo, "-c",
                        'CREATE INDEX ON qgisapp_parcels ((upper(parcel_id)) COLLATE "C", '
                        'parcel_id COLLATE "C")', "-c", "ANALYZE qgisapp_parcels"], check=True)
        uri = QgsDataSourceUri(conninfo)
        uri.setDataSource("public", "qgisapp_parcels", "geom", "", "fid")
        uri.setSrid("3857")
        uri.setWkbType(QgsWkbTypes.Polygon)
        layer = QgsVectorLayer(uri.uri(False), "Parcels", "postgres")
    else:
        layer = QgsVectorLayer(path + "|layername=parcels", "Parcels", "ogr")
    if not layer.isValid():
        raise SystemExit("the written parcels do not open")
    project.addMapLayer(layer)
    group = project.layerTreeRoot().addGroup("Reference")
    copy = QgsVectorLayer(path + "|layername=parcels", "Parcels copy", "ogr")
    project.addMapLayer(copy, False)
    group.addLayer(copy)
    if not project.write(os.path.join(folder, "parcels.qgs")):
        raise SystemExit("cannot write the project")
    app.exitQgis()


if __name__ == "__main__":
    main()
