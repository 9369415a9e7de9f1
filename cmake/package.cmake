# The Debian package: `cpack -G DEB` in a build folder (scripts/package makes
# a release build and runs it). It holds what the install rules install, under
# /usr, and depends on the libraries that dpkg-shlibdeps finds the programs
# linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrin")
set(KESTRIN_MAINTAINER "Kestrin developers <kestrin-dev@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${KESTRIN_MAINTAINER}")
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

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's libraries only recommend the plugin that shows windows on X11 and
# Wayland; without it the program cannot start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
