# Install rules: the shared library (versioned soname), its header, a pkg-config file, a CMake
# package (find_package(WardLink) gives WardLink::wardlink), and the tool with its man page.
# Three components, packaged apart as Debian splits a library (cmake/WardLinkPackage.cmake):
# `library` (the shared library under its soname), `development` (header, package files, the
# unversioned link) and `tool` (the tool and the HL7 gateway's files).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS wardlink EXPORT WardLinkTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
                NAMELINK_COMPONENT development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library)
install(FILES ${PROJECT_SOURCE_DIR}/include/wardlink.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development)

set(WARDLINK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/WardLink)
install(EXPORT WardLinkTargets NAMESPACE WardLink:: DESTINATION ${WARDLINK_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/WardLinkConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/WardLinkConfig.cmake
                              INSTALL_DESTINATION ${WARDLINK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/WardLinkConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/WardLinkConfig.cmake
              ${PROJECT_BINARY_DIR}/WardLinkConfigVersion.cmake
        DESTINATION ${WARDLINK_CMAKE_DIR} COMPONENT development)

# The pkg-config file is written at install time, since `cmake --install --prefix` may choose
# another prefix than the one configured. Outside /usr the library is not on the loader's path, so
# the file then adds a run path: a host built with `pkg-config --libs` runs as it is.
install(CODE "
  set(WARDLINK_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(WARDLINK_PC_RPATH \"\")
  if(NOT WARDLINK_PC_PREFIX STREQUAL \"/usr\")
    set(WARDLINK_PC_RPATH \" -Wl,-rpath,\\\${libdir}\")
  endif()
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/wardlink.pc.in\"
                 \"${PROJECT_BINARY_DIR}/install/wardlink.pc\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
       TYPE FILE FILES \"${PROJECT_BINARY_DIR}/install/wardlink.pc\")
" COMPONENT development)

if(WARDLINK_BUILD_TOOL)
  # In /usr the library is on the loader's path; elsewhere the tool finds it beside itself.
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set_target_properties(wardlink_host PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS wardlink_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  if(TARGET wardlink_man)
    install(FILES ${PROJECT_BINARY_DIR}/tools/wardlink.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT tool)
  endif()
endif()

# The HL7 gateway: its default mapping beside the man pages, the systemd unit, and an environment
# file for server, login and password (never overwritten: it holds a site's password). The unit
# is written at install time so that it names the prefix it was installed into. file(INSTALL)
# puts DESTDIR in front of its destination itself.
if(WARDLINK_BUILD_TOOL)
  install(FILES ${PROJECT_SOURCE_DIR}/hl7/default-mapping.toml DESTINATION ${CMAKE_INSTALL_DATADIR}/wardlink
          RENAME hl7-mapping.toml COMPONENT tool)
  install(CODE "
    if(\"\${CMAKE_INSTALL_PREFIX}\" STREQUAL \"/usr\")
      set(etc \"/etc\")
    else()
      set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
    endif()
    set(WARDLINK_HL7_ENV_FILE \"\${etc}/wardlink/hl7.env\")
    set(WARDLINK_HL7_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/hl7/wardlink-hl7.service.in\"
                   \"${PROJECT_BINARY_DIR}/install/wardlink-hl7.service\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\" TYPE FILE
         FILES \"${PROJECT_BINARY_DIR}/install/wardlink-hl7.service\")
    if(NOT EXISTS \"\$ENV{DESTDIR}\${WARDLINK_HL7_ENV_FILE}\")
      file(INSTALL DESTINATION \"\${etc}/wardlink\" TYPE FILE
           FILE_PERMISSIONS OWNER_READ OWNER_WRITE
           FILES \"${PROJECT_SOURCE_DIR}/hl7/wardlink-hl7.env\" RENAME hl7.env)
    endif()
  " COMPONENT tool)
endif()
