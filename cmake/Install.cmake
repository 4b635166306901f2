# Where the plugin, the map application and their files go when installed,
# by `cmake --install` or in the Debian package (prefix /usr):
#   lib/qgis/plugins/                the plugin, where QGIS looks for C++ plugins
#   lib/<multiarch>/larkhill-parcel-search/
#                                    the component library and the sample
#                                    generator, private to the package
#   bin/larkhill-map                 the map application, with its desktop
#                                    entry, icon and manual page under share/
# The plugin folder holds the plugin alone, as QGIS loads every library in it;
# the plugin and the application reach the component library through their
# run paths, relative to where they are installed.
set(LARKHILL_PACKAGE_NAME larkhill-parcel-search)
# Private files in Debian's multiarch library folder, away from the folders
# that the dynamic loader searches.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(LARKHILL_PRIVATE_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/${LARKHILL_PACKAGE_NAME})
else()
  set(LARKHILL_PRIVATE_DIR lib/${LARKHILL_PACKAGE_NAME})
endif()

# QGIS's plugin folder below its prefix, and the QGIS release built against.
file(STRINGS ${QGIS_INCLUDE_DIR}/qgsconfig.h qgis_plugin_subdir REGEX "define QGIS_PLUGIN_SUBDIR ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" LARKHILL_QGIS_PLUGIN_DIR "${qgis_plugin_subdir}")
math(EXPR LARKHILL_QGIS_MAJOR "${LARKHILL_QGIS_VERSION_INT} / 10000")
math(EXPR LARKHILL_QGIS_MINOR "${LARKHILL_QGIS_VERSION_INT} / 100 % 100")

# The Debian release the package is built on and for, in its revision the way
# Debian marks a build for one release: 2.13-1~deb12u1 on Debian 12 bookworm,
# 2.13-1~deb13u1 on Debian 13 trixie, 2.13-1~sid1 on unstable (which has no
# version number), so that each sorts after the one for the release before.
# Read from /etc/os-release; LARKHILL_DEBIAN_RELEASE overrides it.
set(LARKHILL_DEBIAN_RELEASE "" CACHE STRING
  "The Debian release in the package's revision (deb12u1, deb13u1, sid1); empty: from /etc/os-release")
set(LARKHILL_DEBIAN_REVISION 1)
set(LARKHILL_DEBIAN_DISTRIBUTION unstable)
set(debian_release ${LARKHILL_DEBIAN_RELEASE})
if(EXISTS /etc/os-release)
  file(STRINGS /etc/os-release os_release REGEX "^(ID|VERSION_ID|VERSION_CODENAME)=")
  if("ID=debian" IN_LIST os_release)
    set(os_version_id "")
    foreach(line IN LISTS os_release)
      if(line MATCHES "^VERSION_ID=\"?([0-9]+)")
        set(os_version_id ${CMAKE_MATCH_1})
      elseif(line MATCHES "^VERSION_CODENAME=(.+)")
        set(os_codename ${CMAKE_MATCH_1})
      endif()
    endforeach()
    if(os_version_id)
      set(LARKHILL_DEBIAN_DISTRIBUTION ${os_codename})
      if(NOT debian_release)
        set(debian_release deb${os_version_id}u1)
      endif()
    elseif(NOT debian_release)
      set(debian_release sid1)
    endif()
  endif()
endif()
if(debian_release)
  set(LARKHILL_DEBIAN_REVISION 1~${debian_release})
endif()

function(larkhill_rpath_to_private target from_dir)
  file(RELATIVE_PATH up /${from_dir} /${LARKHILL_PRIVATE_DIR})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "\$ORIGIN/${up}")
endfunction()

install(TARGETS larkhillparcelsearch LIBRARY DESTINATION ${LARKHILL_PRIVATE_DIR})

larkhill_rpath_to_private(larkhillparcelsearchplugin ${LARKHILL_QGIS_PLUGIN_DIR})
install(TARGETS larkhillparcelsearchplugin LIBRARY DESTINATION ${LARKHILL_QGIS_PLUGIN_DIR})

if(TARGET larkhill-map)
  larkhill_rpath_to_private(larkhill-map bin)
  # The installed application makes its sample town with the generator
  # installed beside the component library.
  target_compile_definitions(larkhill-map PRIVATE
    LARKHILL_INSTALLED_SAMPLE_GENERATOR="../${LARKHILL_PRIVATE_DIR}/larkhill-sample")
  install(TARGETS larkhill-map RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/larkhill-map.desktop DESTINATION share/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/hosts/qgis/resources/larkhill-parcel-search.svg
          DESTINATION share/icons/hicolor/scalable/apps)
endif()
if(TARGET larkhill-sample)
  install(TARGETS larkhill-sample RUNTIME DESTINATION ${LARKHILL_PRIVATE_DIR})
endif()

# Debian wants the manual page and the change log compressed, without time stamps.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${compressed}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${compressed}/larkhill-map.1.gz ${compressed}/changelog.Debian.gz
  COMMAND sh -c "${GZIP_EXECUTABLE} -9nc \"$0\" > larkhill-map.1.gz" ${PROJECT_SOURCE_DIR}/packaging/larkhill-map.1
  COMMAND sh -c "${GZIP_EXECUTABLE} -9nc changelog.Debian > changelog.Debian.gz"
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/larkhill-map.1 ${compressed}/changelog.Debian
  WORKING_DIRECTORY ${compressed}
  VERBATIM)
add_custom_target(larkhill-packaging-files ALL
  DEPENDS ${compressed}/larkhill-map.1.gz ${compressed}/changelog.Debian.gz)
if(TARGET larkhill-map)
  install(FILES ${compressed}/larkhill-map.1.gz DESTINATION share/man/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${compressed}/changelog.Debian.gz
        DESTINATION share/doc/${LARKHILL_PACKAGE_NAME})
