# Finds the Qt the project builds against, chosen by LARKHILL_QT_MAJOR: 5 (the
# default, because Debian 12's QGIS is built on Qt 5.15) or 6. Targets link
# the versionless Qt::Core, Qt::Gui, Qt::Widgets and Qt::Test, which both
# provide, so no other CMakeLists.txt names the version.
set(LARKHILL_QT_MAJOR 5 CACHE STRING "Qt major version to build against: 5 or 6")
set_property(CACHE LARKHILL_QT_MAJOR PROPERTY STRINGS 5 6)

if(LARKHILL_QT_MAJOR STREQUAL "5")
  find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Test)
elseif(LARKHILL_QT_MAJOR STREQUAL "6")
  find_package(Qt6 6.2 REQUIRED COMPONENTS Core Gui Widgets Test)
else()
  message(FATAL_ERROR "LARKHILL_QT_MAJOR must be 5 or 6, not '${LARKHILL_QT_MAJOR}'")
endif()
message(STATUS "Building against Qt ${Qt${LARKHILL_QT_MAJOR}_VERSION}")

# The QGIS host, the map application and the plugin use the QGIS 3 libraries,
# which are built on Qt 5; a Qt 6 build leaves them out (they need QGIS 4).
if(NOT LARKHILL_QT_MAJOR STREQUAL "5" AND LARKHILL_WITH_QGIS)
  message(STATUS "Qt ${LARKHILL_QT_MAJOR} build: the QGIS host, the map application, the "
                 "plugin and their tests are left out (they need QGIS 3 on Qt 5)")
  set(LARKHILL_WITH_QGIS OFF)
endif()
