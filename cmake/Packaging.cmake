# SPDX-License-Identifier: MIT
# The Debian package: "cmake --build build/release --target package", or
# "cpack -G DEB" in the build folder, writes orxterm_<version>_<arch>.deb.
# One package holds both programs: orxsim is small, and the demonstration
# (scripts/run) and the first steps without hardware need it beside
# orxterm.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orxterm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORXTERM developers")
set(CPACK_PACKAGE_CONTACT "ORXTERM developers <support@orxterm.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "terminal and configuration program for ORX optical sensors")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orxterm.example.org)
# Depends from the libraries the binaries link (dpkg-shlibdeps): Qt 6,
# Qt serial port, QCustomPlot and the C++ runtime.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window and tool bar icons are SVG: Qt's SVG plug-ins load them, and
# no binary links those; the service record is an SQLite database that
# Qt SQL opens through its QSQLITE plug-in, which no binary links either.
# Qt's own texts in German are a recommendation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "ORXTERM is the desktop program with which operators and service technicians
work with ORX optical sensors, which measure the speed and length of moving
material. It is a terminal to the sensor over a serial port or TCP, sends the
sensor's service commands from menus and function keys, reads, edits, sends
and stores the sensor's parameters in .par files, shows live velocity and
signal rate as a chart or as large figures with CSV logs, uploads firmware
from Intel-HEX files, and relays a serial sensor to the network over TCP.

Its service commands (info, read, write, compare, log, update) run one task
with the sensor without a window and end with an exit code, for scripts.

The package also holds orxsim, a simulated ORX sensor on a pseudo-terminal
or a TCP port, to try the program without hardware.")

include(CPack)
