# Desktop integration (menu entry, software-centre entry, icon, manual pages)
# and the Debian package. The two programs and the help document install from
# their own folders.

set(BACKTRAIL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
# The desktop entry and the software-centre entry are named after the program's
# reverse-DNS id, which it also gives Qt as its desktop file name.
set(BACKTRAIL_APP_ID org.example.backtrail)

install(FILES ${BACKTRAIL_PACKAGING_DIR}/${BACKTRAIL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${BACKTRAIL_PACKAGING_DIR}/${BACKTRAIL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${BACKTRAIL_PACKAGING_DIR}/backtrail.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Debian's copyright notice in its machine-readable form, beside the changelog,
# in the folder named after the package (GNUInstallDirs' DOCDIR would be named
# after the project, with a capital letter).
set(BACKTRAIL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/backtrail)
install(FILES ${BACKTRAIL_PACKAGING_DIR}/copyright DESTINATION ${BACKTRAIL_DOC_DIR})
# What lintian reports about the package and is meant so (each with its reason).
install(FILES ${BACKTRAIL_PACKAGING_DIR}/backtrail.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME backtrail)

# Debian keeps manual pages and changelogs compressed, without a time stamp in
# the gzip header so that two builds give the same package.
find_program(BACKTRAIL_GZIP gzip)
set(backtrail_compressed)
foreach(page backtrail.1 backtrail-scan.1 backtrail-cluster.1 changelog)
  if(BACKTRAIL_GZIP)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
    add_custom_command(OUTPUT ${output}
                       COMMAND ${BACKTRAIL_GZIP} -9 -n -c ${BACKTRAIL_PACKAGING_DIR}/${page} > ${output}
                       DEPENDS ${BACKTRAIL_PACKAGING_DIR}/${page} VERBATIM)
    list(APPEND backtrail_compressed ${output})
  else()
    set(output ${BACKTRAIL_PACKAGING_DIR}/${page})
  endif()
  if(page STREQUAL "changelog")
    install(FILES ${output} DESTINATION ${BACKTRAIL_DOC_DIR})
  else()
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
if(backtrail_compressed)
  add_custom_target(backtrail_compressed_docs ALL DEPENDS ${backtrail_compressed})
endif()

# The package installs where the build was configured to install: the desktop
# program looks for its help in the data folder of that prefix, so a package
# for /usr must come from a build configured with -DCMAKE_INSTALL_PREFIX=/usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME backtrail)
set(CPACK_PACKAGE_VENDOR "${BACKTRAIL_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT "${BACKTRAIL_COMPANY_NAME} <backtrail@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${BACKTRAIL_WEBSITE_HOST}/")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The programs ship without their debugging symbols, as Debian's do.
set(CPACK_STRIP_FILES ON)
# CPack's strip keeps the compiler's version note (.comment); Debian's own
# packaging tools drop it too, on the staged programs before they are packed.
if(CMAKE_STRIP)
  set(BACKTRAIL_STRIP_NOTES ${CMAKE_CURRENT_BINARY_DIR}/StripNotes.cmake)
  file(CONFIGURE OUTPUT ${BACKTRAIL_STRIP_NOTES} @ONLY CONTENT [[
foreach(program backtrail backtrail-scan)
  set(file "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/${program}")
  execute_process(COMMAND "@CMAKE_STRIP@" --remove-section=.comment --remove-section=.note "${file}"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip could not remove the notes from ${file}")
  endif()
endforeach()
]])
  set(CPACK_PRE_BUILD_SCRIPTS ${BACKTRAIL_STRIP_NOTES})
endif()
# Folders 0755 whatever the builder's umask (the installed files have their
# own modes), and the control files with the modes dpkg gives them.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents
# this long description as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Backtrail reads web-server access logs (Apache and nginx combined logs, W3C
logs, gzip-rotated logs) and lists the outside pages that send visitors to
the site, with their click counts, the kind of file asked for and the page
each one led to.
.
The package holds the desktop program backtrail, with a sortable table of
the referrers, a built-in browser and an HTML or CSV export, the
command-line scanner backtrail-scan for batch use on servers, and
backtrail-cluster, which runs backtrail-scan over the logs of several
servers on a Dask cluster, each log read where it lies.")
# dpkg-shlibdeps (from dpkg-dev) names the libraries the programs link, with
# the versions they need; Debian's entry for the browser engine's library also
# names the package of its helper process, which is started, not linked.
# Without dpkg-shlibdeps the list is written out for Debian 12.
# backtrail-cluster is a Python 3 program: python3 is needed to start it, and
# Dask's distributed module (and asyncssh for --ssh) to run it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-distributed")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-asyncssh")
find_program(BACKTRAIL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BACKTRAIL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, publicsuffix")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "python3, libc6, libstdc++6, libisal2, libhwy1, libsimdjson14, libre2-9, libyaml-cpp0.7, libpsl5, publicsuffix, libqt6core6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6widgets6 (>= 6.2), libqt6charts6 (>= 6.2), libqt6webenginecore6 (>= 6.2), libqt6webenginecore6-bin (>= 6.2), libqt6webenginewidgets6 (>= 6.2)")
endif()

include(CPack)
