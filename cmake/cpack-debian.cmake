# The Debian package of the tool, made by CPack from the install rules of
# packaging/CMakeLists.txt:
#
#   cmake --preset package && cmake --build --preset package
#   cd build/package && cpack            -> korimo_<version>_<arch>.deb
#
# The version is the project version (project(VERSION) in CMakeLists.txt); the
# dependencies are computed by dpkg-shlibdeps from the libraries the programs
# link (Qt 6, libusb, libstdc++ ...), never listed by hand. The udev rule is
# reloaded by the maintainer scripts in packaging/debian/.
set(KORIMO_PACKAGE_MAINTAINER "Korimo tool maintainers <maintainers@korimo.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korimo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Korimo tool developers")
set(CPACK_PACKAGE_CONTACT "${KORIMO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for the Korimo USB laser engraver")
# The long description below the summary line; CPack indents it and marks the
# empty line between the paragraphs as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The service tool a technician uses to configure the controller board of the
Korimo USB laser engraver: it finds the engraver by itself, reads and stores
the machine configuration (model, X/Y/Z travel, raster, vector and Z speed,
board serial number) in the controller's parameter memory, edits raw
parameter memory, jogs and homes the axes and mirrors the keypad and table
inputs.

The package holds the window (korimo), the command-line tool (korimo-cli)
and a demo on a simulated engraver (korimo-demo), a udev rule that lets the
desktop user open the engraver over USB, menu entries, manual pages and bash
completion.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)

include(CPack)
