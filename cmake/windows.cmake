# The Windows WardLink.dll, cross-built with the toolchain in mingw-i686.cmake (the 32-bit drop-in)
# or mingw-x86_64.cmake (x64, for 64-bit hosts), from the same sources: statically linked runtime,
# SQLite compiled in, ODBC through odbc32, exports from the .def file alone (a dllexport as well
# would add decorated duplicates), and the test host of the same width.
enable_language(C)
include(${CMAKE_SOURCE_DIR}/cmake/sqlite_amalgamation.cmake)

add_compile_options(-Wall -Wextra)
# -O2 rather than -O3: every call waits on its database, and -O3 would only lengthen the build.
string(REPLACE "-O3" "-O2" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
# Windows 7 and later: GetLocaleInfoEx.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)

file(GLOB_RECURSE WARDLINK_CORE_SOURCES CONFIGURE_DEPENDS
  db/*.cpp dictionaries/*.cpp organisation/*.cpp patients/*.cpp shared/*.cpp)
list(FILTER WARDLINK_CORE_SOURCES EXCLUDE REGEX "_posix\\.cpp$")
add_library(wardlink_core STATIC ${WARDLINK_CORE_SOURCES})
target_include_directories(wardlink_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(wardlink_core PUBLIC wardlink_sqlite odbc32 odbccp32 ole32)

file(GLOB WARDLINK_EXPORT_SOURCES CONFIGURE_DEPENDS library/*.cpp)
list(FILTER WARDLINK_EXPORT_SOURCES EXCLUDE REGEX "(_posix|export_table)\\.cpp$")
include(${CMAKE_SOURCE_DIR}/cmake/export_list.cmake)
set(WARDLINK_DEF ${CMAKE_BINARY_DIR}/WardLink.def)
wardlink_write_def(${WARDLINK_DEF})
add_library(wardlink SHARED ${WARDLINK_EXPORT_SOURCES} ${WARDLINK_DEF})
target_include_directories(wardlink PUBLIC ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR})
target_link_libraries(wardlink PRIVATE wardlink_core)
# The 32-bit .def names each export with its stdcall suffix, and --kill-at exports it without: the
# DLL shows plain names only.
set_target_properties(wardlink PROPERTIES PREFIX "" OUTPUT_NAME WardLink IMPORT_PREFIX ""
                      IMPORT_SUFFIX ".lib" LINK_DEPENDS ${WARDLINK_DEF})
target_link_options(wardlink PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--kill-at
                    -Wl,--no-undefined)
# The import library for hosts, written over the linker's: a 32-bit host's compiler calls
# AddZhiYe@24, which must resolve to the plain name; the linker's own would carry the plain names
# only.
set(WARDLINK_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/WardLink.lib)
add_custom_command(TARGET wardlink POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${WARDLINK_DEF} --dllname WardLink.dll
          --output-lib ${WARDLINK_IMPORT_LIBRARY}
  BYPRODUCTS ${WARDLINK_IMPORT_LIBRARY} VERBATIM)

add_subdirectory(tests/windows)
