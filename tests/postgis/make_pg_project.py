"""Writes a QGIS project whose layers are tables of the test database.

    make_pg_project.py <project.qgs> <conninfo> <name>=<table> [<name>=<table> ...]

Each layer reads public.<table> (key fid, polygons in geom, EPSG:3857) over
the connection; the connection text is used as given, so a wrong one makes a
project with a layer that cannot be opened.
"""
import sys

from qgis.core import (QgsApplication, QgsCoordinateReferenceSystem, QgsDataSourceUri, QgsProject,
                       QgsSettings, QgsVectorLayer, QgsWkbTypes)


def main():
    path, conninfo = sys.argv[1], sys.argv[2]
    app = QgsApplication([], False)
    app.initQgis()
    # A layer that cannot be reached is only written down: do not wait long on it.
    QgsSettings().setValue("PostgreSQL/default_timeout", 2, QgsSettings.Providers)
    project = QgsProject.instance()
    project.setCrs(QgsCoordinateReferenceSystem("EPSG:3857"))
    for pair in sys.argv[3:]:
        name, table = pair.split("=", 1)
        uri = QgsDataSourceUri(conninfo)
        uri.setDataSource("public", table, "geom", "", "fid")
        uri.setSrid("3857")
        uri.setWkbType(QgsWkbTypes.Polygon)
        layer = QgsVectorLayer(uri.uri(False), name, "postgres")
        # Kept also when it does not open: the project then names a layer
        # that cannot be read.
        project.addMapLayer(layer)
    if not project.write(path):
        raise SystemExit("cannot write " + path)
    app.exitQgis()


if __name__ == "__main__":
    main()
