# The export list (library/export_list.h) read at configure time: the files each platform's linker
# takes are generated from it into the build folder, so that adding an export means one line there.
set(WARDLINK_EXPORT_LIST ${CMAKE_CURRENT_LIST_DIR}/../library/export_list.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${WARDLINK_EXPORT_LIST})
file(STRINGS ${WARDLINK_EXPORT_LIST} WARDLINK_EXPORT_LINES REGEX "^WARDLINK_EXPORT\\(")

# The version script of libwardlink.so: the listed names, nothing else.
function(wardlink_write_version_script path)
  set(names "")
  foreach(line IN LISTS WARDLINK_EXPORT_LINES)
    string(REGEX REPLACE "^WARDLINK_EXPORT\\(([0-9]+), ([A-Za-z0-9_]+), ([0-9]+)\\).*" "\\2" name "${line}")
    string(APPEND names "    ${name};\n")
  endforeach()
  file(CONFIGURE OUTPUT ${path} CONTENT "{\n  global:\n${names}  local:\n    *;\n};\n")
endfunction()

# The .def file of WardLink.dll: each name at its ordinal. The 32-bit build names it with its
# stdcall suffix (4 bytes a slot), which the linker then drops (--kill-at); x64 has one calling
# convention and no suffixes.
function(wardlink_write_def path)
  set(exports "")
  foreach(line IN LISTS WARDLINK_EXPORT_LINES)
    string(REGEX REPLACE "^WARDLINK_EXPORT\\(([0-9]+), ([A-Za-z0-9_]+), ([0-9]+)\\).*"
           "\\1;\\2;\\3" fields "${line}")
    list(GET fields 0 ordinal)
    list(GET fields 1 name)
    list(GET fields 2 slots)
    set(suffix "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      math(EXPR bytes "${slots} * 4")
      set(suffix "@${bytes}")
    endif()
    string(APPEND exports "  ${name}${suffix} @${ordinal}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${path} CONTENT "LIBRARY WardLink.dll\nEXPORTS\n${exports}")
endfunction()

# The symbols control file of the Debian library package: every export since `version`, so that a
# program built against this package depends on at least this version.
function(wardlink_write_symbols path package version)
  set(symbols "")
  foreach(line IN LISTS WARDLINK_EXPORT_LINES)
    string(REGEX REPLACE "^WARDLINK_EXPORT\\(([0-9]+), ([A-Za-z0-9_]+), ([0-9]+)\\).*" "\\2" name "${line}")
    string(APPEND symbols " ${name}@Base ${version}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${path}
       CONTENT "libwardlink.so.${PROJECT_VERSION_MAJOR} ${package} #MINVER#\n${symbols}")
endfunction()
