# Install rules: the shared library (versioned soname), its header, a pkg-config file, a CMake
# package (find_package(WardLink) gives WardLink::wardlink), and the tool with its man page.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS wardlink EXPORT WardLinkTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/wardlink.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(WARDLINK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/WardLink)
install(EXPORT WardLinkTargets NAMESPACE WardLink:: DESTINATION ${WARDLINK_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/WardLinkConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/WardLinkConfig.cmake
                              INSTALL_DESTINATION ${WARDLINK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/WardLinkConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/WardLinkConfig.cmake
              ${PROJECT_BINARY_DIR}/WardLinkConfigVersion.cmake
        DESTINATION ${WARDLINK_CMAKE_DIR})

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
")

if(WARDLINK_BUILD_TOOL)
  set_target_properties(wardlink_host PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS wardlink_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET wardlink_man)
    install(FILES ${PROJECT_BINARY_DIR}/tools/wardlink.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()
