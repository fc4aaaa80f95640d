# SQLite compiled into the DLL from the amalgamation: no Debian package ships it for Windows. The
# npm package below carries SQLite's own release tarball unchanged; npm checks the package against
# the registry's hash, and the tarball inside is checked here against the checksum pinned with
# its version, so a different or altered SQLite never gets built in.
set(WARDLINK_SQLITE_NPM_PACKAGE "sqlite3@6.0.1")
set(WARDLINK_SQLITE_TARBALL_NAME "sqlite-autoconf-3520000")
set(WARDLINK_SQLITE_TARBALL_SHA256
    "f6b50b0c103392af32a8be15b2b9d25959de9a00a70c3979128aafeaa5338b3f")
set(WARDLINK_SQLITE_TARBALL "" CACHE FILEPATH
    "${WARDLINK_SQLITE_TARBALL_NAME}.tar.gz already at hand (skips npm)")

set(_sqlite_dir ${CMAKE_BINARY_DIR}/_sqlite)
set(_sqlite_source ${_sqlite_dir}/${WARDLINK_SQLITE_TARBALL_NAME}/sqlite3.c)
if(NOT EXISTS ${_sqlite_source})
  file(MAKE_DIRECTORY ${_sqlite_dir})
  set(_tarball ${WARDLINK_SQLITE_TARBALL})
  if(NOT _tarball)
    find_program(WARDLINK_NPM npm REQUIRED)
    execute_process(
      COMMAND ${WARDLINK_NPM} pack ${WARDLINK_SQLITE_NPM_PACKAGE} --silent
      WORKING_DIRECTORY ${_sqlite_dir} OUTPUT_VARIABLE _package OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "npm pack ${WARDLINK_SQLITE_NPM_PACKAGE} failed (${_rc})")
    endif()
    file(ARCHIVE_EXTRACT INPUT ${_sqlite_dir}/${_package} DESTINATION ${_sqlite_dir}
         PATTERNS package/deps/${WARDLINK_SQLITE_TARBALL_NAME}.tar.gz)
    set(_tarball ${_sqlite_dir}/package/deps/${WARDLINK_SQLITE_TARBALL_NAME}.tar.gz)
  endif()
  file(SHA256 ${_tarball} _sha256)
  if(NOT _sha256 STREQUAL WARDLINK_SQLITE_TARBALL_SHA256)
    message(FATAL_ERROR
            "${_tarball}: SHA-256 ${_sha256}, expected ${WARDLINK_SQLITE_TARBALL_SHA256}")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${_tarball} DESTINATION ${_sqlite_dir}
       PATTERNS ${WARDLINK_SQLITE_TARBALL_NAME}/sqlite3.c ${WARDLINK_SQLITE_TARBALL_NAME}/sqlite3.h)
endif()

add_library(wardlink_sqlite STATIC ${_sqlite_source})
target_include_directories(wardlink_sqlite PUBLIC ${_sqlite_dir}/${WARDLINK_SQLITE_TARBALL_NAME})
# Built once per build folder at -O2 whatever the build type: it is the slowest file by far.
set_source_files_properties(${_sqlite_source} PROPERTIES COMPILE_OPTIONS "-O2;-w")
target_compile_definitions(wardlink_sqlite PUBLIC SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION)
