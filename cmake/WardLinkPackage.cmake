# Debian packages with CPack's DEB generator (make deb), split as Debian splits a library:
# libwardlink0 (the shared library under its soname, with shlibs and symbols files),
# libwardlink-dev (header, pkg-config file, CMake package, the .so link) and wardlink (the tool,
# its man page, the HL7 gateway's mapping, unit, env file and store folder). Dependencies on other
# packages are computed by dpkg-shlibdeps; the three depend on one another at the same version.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the library lands in the multiarch folder.
set(WARDLINK_DEB_MAINTAINER "WardLink developers <wardlink@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wardlink)
set(CPACK_PACKAGE_VENDOR "WardLink developers")
set(CPACK_PACKAGE_CONTACT "${WARDLINK_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The install rules write /etc and the unit from CMAKE_INSTALL_PREFIX: it must be the real prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool's libwardlink.so.0 is found in the build tree; its package is the library component,
# which the tool depends on at the same version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Copyright, changelog and gzipped man pages in each package, added to the staged files only:
# `make install` stays as it was.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb/stage_docs.cmake)
set(CPACK_WARDLINK_DEB_DOCS ${PROJECT_SOURCE_DIR}/cmake/deb)
set(CPACK_WARDLINK_DEB_MAINTAINER "${WARDLINK_DEB_MAINTAINER}")

set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_COMPONENT_TOOL_DEPENDS library)

set(WARDLINK_DEB_LIBRARY libwardlink${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${WARDLINK_DEB_LIBRARY})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "EMR database link for hospital administration programs
WardLink keeps an EMR database in step with a hospital administration
program: admissions, transfers, discharges and the organisation's
dictionaries, through 41 C functions over SQLite, ODBC or SQL Server.
This package holds the shared library.")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)  # for the one package that holds a library
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
include(${PROJECT_SOURCE_DIR}/cmake/export_list.cmake)
wardlink_write_symbols(${PROJECT_BINARY_DIR}/deb/symbols ${WARDLINK_DEB_LIBRARY} ${PROJECT_VERSION})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/deb/symbols ${PROJECT_SOURCE_DIR}/cmake/deb/libwardlink0/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libwardlink-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "EMR database link for hospital administration programs (development)
WardLink keeps an EMR database in step with a hospital administration
program. This package holds what a program needs to be built against the
library: the C header, the pkg-config file and the CMake package.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME wardlink)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "EMR database link: command-line tool and HL7 v2 gateway
The wardlink tool calls the WardLink library's functions from the shell,
makes trial databases, and runs the HL7 v2 gateway, which applies ADT
messages received over MLLP to the EMR database. The gateway's systemd unit
is installed but neither enabled nor started: fill in /etc/wardlink/hl7.env
first.")
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/deb/wardlink/conffiles ${PROJECT_SOURCE_DIR}/cmake/deb/wardlink/postinst
    ${PROJECT_SOURCE_DIR}/cmake/deb/wardlink/prerm ${PROJECT_SOURCE_DIR}/cmake/deb/wardlink/postrm)

include(CPack)
