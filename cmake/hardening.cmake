# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags, as dpkg-buildflags gives them with hardening=+all:
# fortified functions, a strong stack protector, format checks, relocations
# read-only and bound at start. Every build takes them, so that the package
# any build folder makes is hardened like the one scripts/package makes; the
# optimisation and debug levels stay the build type's. Fortifying needs an
# optimised build; the sanitizer and fuzz builds bring checks of their own.
option(KESTRIN_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(KESTRIN_DPKG_BUILDFLAGS dpkg-buildflags)
if(KESTRIN_HARDENING AND KESTRIN_DPKG_BUILDFLAGS AND NOT KESTRIN_SANITIZE AND NOT KESTRIN_FUZZ)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${KESTRIN_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O|g|ffile-prefix-map=)")
    set(KESTRIN_HARDENING_${kind} ${flags})
  endforeach()
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${KESTRIN_HARDENING_CPPFLAGS}>"
                      ${KESTRIN_HARDENING_CXXFLAGS})
  add_link_options(${KESTRIN_HARDENING_LDFLAGS})
elseif(KESTRIN_HARDENING AND NOT KESTRIN_DPKG_BUILDFLAGS)
  message(WARNING "dpkg-buildflags is missing (dpkg-dev): built without Debian's hardening flags")
endif()
