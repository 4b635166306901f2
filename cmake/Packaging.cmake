# The Debian package, made by CPack from the install rules of cmake/Install.cmake:
#   cpack -G DEB --config <build>/CPackConfig.cmake    (./run package does this)
# One package holds the QGIS plugin, the map application and the component
# library they share. It depends on the QGIS series the plugin was built
# against (a C++ plugin runs only there) and on the libraries that
# dpkg-shlibdeps finds.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LARKHILL_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR LarkhillGIS)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "LarkhillGIS <support@larkhillgis.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "parcel search for QGIS: find a parcel by its ID and zoom to it")
# Debian's description: lines of the long part stay within 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
A toolbar command for QGIS ${LARKHILL_QGIS_MAJOR}.${LARKHILL_QGIS_MINOR} that lists every value of the parcel ID\n\
field of a parcel layer (a file or a PostGIS table), finds a parcel by the\n\
start of its ID and zooms the map to it. It comes with a configuration\n\
window and a help window.\n\
\n\
The package holds the QGIS plugin (enable it in Plugins > Manage and Install\n\
Plugins) and Larkhill Map, a map window with the same command that opens\n\
GeoPackages, shapefiles and QGIS projects.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LARKHILL_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE http://www.larkhillgis.com)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
math(EXPR next_minor "${LARKHILL_QGIS_MINOR} + 1")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qgis (>= ${LARKHILL_QGIS_MAJOR}.${LARKHILL_QGIS_MINOR}), qgis (<< ${LARKHILL_QGIS_MAJOR}.${next_minor}~)")

include(CPack)
