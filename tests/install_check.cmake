# Installs the build into a fresh prefix and checks what a desktop needs to
# find there: the program, its menu entry (valid, naming the installed
# program) and its icon in the hicolor theme.
#   cmake -DBUILD_DIR=... -DPREFIX=... [-DVALIDATE=desktop-file-validate] -P install_check.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

function(expect_file path)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endfunction()

expect_file(bin/Fotra)
execute_process(COMMAND test -x "${PREFIX}/bin/Fotra" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "bin/Fotra is not executable")
endif()

set(entry "${PREFIX}/share/applications/fotra.desktop")
expect_file(share/applications/fotra.desktop)
file(STRINGS "${entry}" lines)
foreach(wanted
    "Type=Application" "Name=Fotra Viewer" "Exec=${PREFIX}/bin/Fotra" "Icon=fotra"
    "Categories=Graphics;Viewer;" "Terminal=false")
  if(NOT wanted IN_LIST lines)
    message(FATAL_ERROR "fotra.desktop lacks the line: ${wanted}")
  endif()
endforeach()
list(FILTER lines INCLUDE REGEX "^Name\\[ja\\]=.+")
if(NOT lines)
  message(FATAL_ERROR "fotra.desktop has no Japanese name")
endif()
if(VALIDATE)
  execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${rc}\n${out}")
  endif()
endif()

expect_file(share/icons/hicolor/scalable/apps/fotra.svg)
foreach(size 16 24 32 48 64 128 256)
  set(png "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/fotra.png")
  expect_file(share/icons/hicolor/${size}x${size}/apps/fotra.png)
  # Width and height from the PNG header (IHDR), big-endian.
  file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 w)
  string(SUBSTRING "${header}" 8 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT w EQUAL size OR NOT h EQUAL size)
    message(FATAL_ERROR "${size}x${size}/apps/fotra.png is ${w} x ${h}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
