# Fails when a source file of the component includes a header of an area that
# stands above its own. The areas, lowest first, come in AREAS (a list); each
# may include its own headers and those of the areas before it, so includes
# between areas stay one-way and no cycle can form.
#   cmake -DSOURCE_DIR=<src> -DAREAS=platform;shared;... -DSTAMP=<file> [-DPREFIX=qgis/]
#         -P CheckAreaIncludes.cmake
# PREFIX is what the include path holds before the area's name, when the areas
# sit one folder down from the include root (the QGIS host's "qgis/<area>/").
# FORBIDDEN, when given, is a regular expression of system headers no file of
# these areas may include (the component's: QGIS's own headers, which only the
# QGIS host may use, so that the differences between QGIS releases stay there).
set(rank 0)
foreach(area IN LISTS AREAS)
  set(rank_${area} ${rank})
  math(EXPR rank "${rank} + 1")
endforeach()

set(problems "")
foreach(area IN LISTS AREAS)
  file(GLOB files ${SOURCE_DIR}/${area}/*.h ${SOURCE_DIR}/${area}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"${PREFIX}[A-Za-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"${PREFIX}([A-Za-z_]+)/.*" "\\1" target "${line}")
      if(NOT DEFINED rank_${target})
        continue()
      endif()
      if(rank_${target} GREATER rank_${area})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        string(APPEND problems "  ${shown} (area ${area}) includes ${target}/, an area above it\n")
      endif()
    endforeach()
    if(FORBIDDEN)
      file(STRINGS ${file} forbidden REGEX "^[ \t]*#[ \t]*include[ \t]*<(${FORBIDDEN})")
      foreach(line IN LISTS forbidden)
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        string(APPEND problems "  ${shown} (area ${area}): ${line}, a header it may not use\n")
      endforeach()
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes between areas must go downwards only "
                      "(order: ${AREAS}), and never to a forbidden header:\n${problems}")
endif()
file(WRITE ${STAMP} "ok\n")
