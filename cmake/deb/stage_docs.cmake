# Run by CPack on the staged files of each package (CPACK_PRE_BUILD_SCRIPTS): what Debian asks of
# every package, a copyright file and a changelog in /usr/share/doc/PACKAGE, and man pages gzipped.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)  # SOURCE_DATE_EPOCH when set
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  set(root ${CPACK_TEMPORARY_DIRECTORY}/${component})
  set(doc ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${package})
  file(MAKE_DIRECTORY ${doc})
  file(COPY_FILE ${CPACK_WARDLINK_DEB_DOCS}/copyright ${doc}/copyright)
  file(WRITE ${doc}/changelog
       "${package} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
       "  * Built from the WardLink sources.\n\n"
       " -- ${CPACK_WARDLINK_DEB_MAINTAINER}  ${date}\n")
  file(GLOB_RECURSE pages ${root}${CPACK_PACKAGING_INSTALL_PREFIX}/share/man/*.[1-9])
  foreach(file IN LISTS pages ITEMS ${doc}/changelog)
    execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endforeach()
