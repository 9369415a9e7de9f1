# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in a build folder (scripts/package makes
# a release build and runs it). It holds what the install rules install, under
# /usr, and depends on the libraries that dpkg-shlibdeps finds the programs
# linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrin")
# The project has no public site or mail address yet: both are local ones
# (README.md, Installing). A distributor sets its own here.
set(KESTRIN_PACKAGE_MAINTAINER "Kestrin developers <kestrin@kestrin.localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(KESTRIN_PACKAGE_HOMEPAGE "https://kestrin.localhost/"
    CACHE STRING "Homepage field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${KESTRIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRIN_PACKAGE_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "data logger for engine control units on a serial port")
# Lines of the package's long description, as Debian wraps them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Kestrin shows the live values that an engine control unit streams as lines"
  "of text over a serial port, with the zone, its stored setting, the air-fuel"
  "ratio and the boost worked out for every line, and records logging runs to"
  "numbered text files. It captures the unit's settings dump and shows it as a"
  "grid of load and rpm zones."
  ""
  "The package also holds ecu-sim, a simulated unit on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Stripped as Debian's dh_strip strips: the symbols, and the sections that
# lintian counts as unneeded (.comment, .note).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program kestrin ecu-sim)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# What lintian reports of the package on purpose, with the reasons.
install(FILES ${PROJECT_SOURCE_DIR}/data/kestrin.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kestrin)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's libraries only recommend the plugin that shows windows on X11 and
# Wayland; without it the program cannot start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
