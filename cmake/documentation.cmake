# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages kestrin(1) and ecu-sim(1), made by help2man from each
# program's --help and --version with the sections of data/<program>.h2m,
# and the package's copyright and changelog, installed as Debian has them:
# compressed without a time stamp, under share/man and share/doc/kestrin.
find_program(KESTRIN_HELP2MAN help2man)
find_program(KESTRIN_GZIP gzip REQUIRED)
set(KESTRIN_DOC_FILES)

if(KESTRIN_HELP2MAN)
  foreach(program kestrin ecu-sim)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      # Neither program needs a display for --help and --version.
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              ${KESTRIN_HELP2MAN} --no-info --include=${PROJECT_SOURCE_DIR}/data/${program}.h2m
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${KESTRIN_GZIP} -9 -n -f ${page}
      DEPENDS ${program} ${PROJECT_SOURCE_DIR}/data/${program}.h2m
      COMMENT "Manual page ${program}(1)"
      VERBATIM)
    list(APPEND KESTRIN_DOC_FILES ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(WARNING "help2man is missing: no manual pages (scripts/setup installs it)")
endif()

set(changelog ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_command(
  OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/changelog ${changelog}
  COMMAND ${KESTRIN_GZIP} -9 -n -f ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/changelog
  VERBATIM)
list(APPEND KESTRIN_DOC_FILES ${changelog}.gz)
add_custom_target(documentation ALL DEPENDS ${KESTRIN_DOC_FILES})

set(KESTRIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kestrin)
install(FILES ${changelog}.gz ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${KESTRIN_DOC_DIR})
