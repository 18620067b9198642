# Desktop integration (menu entry, icon, manual page) and the Debian package.
# The two programs and the help document install from their own folders.

set(BACKTRAIL_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${BACKTRAIL_PACKAGING_DIR}/backtrail.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${BACKTRAIL_PACKAGING_DIR}/backtrail.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian keeps manual pages compressed, without a time stamp in the gzip header
# so that two builds give the same package.
find_program(BACKTRAIL_GZIP gzip)
if(BACKTRAIL_GZIP)
  set(manual ${CMAKE_CURRENT_BINARY_DIR}/backtrail-scan.1.gz)
  add_custom_command(OUTPUT ${manual}
                     COMMAND ${BACKTRAIL_GZIP} -9 -n -c ${BACKTRAIL_PACKAGING_DIR}/backtrail-scan.1 > ${manual}
                     DEPENDS ${BACKTRAIL_PACKAGING_DIR}/backtrail-scan.1 VERBATIM)
  add_custom_target(backtrail_manual ALL DEPENDS ${manual})
  install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${BACKTRAIL_PACKAGING_DIR}/backtrail-scan.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
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
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents
# this long description as Debian wants it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Backtrail reads web-server access logs (Apache and nginx combined logs, W3C
logs, gzip-rotated logs) and lists the outside pages that send visitors to
the site, with their click counts, the kind of file asked for and the page
each one led to.
.
The package holds the desktop program backtrail, with a sortable table of
the referrers, a built-in browser and an HTML or CSV export, and the
command-line scanner backtrail-scan for batch use on servers.")
# dpkg-shlibdeps (from dpkg-dev) names the libraries the programs link, with
# the versions they need; Debian's entry for the browser engine's library also
# names the package of its helper process, which is started, not linked.
# Without dpkg-shlibdeps the list is written out for Debian 12.
find_program(BACKTRAIL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BACKTRAIL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, zlib1g, libqt6core6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6widgets6 (>= 6.2), libqt6webenginecore6 (>= 6.2), libqt6webenginecore6-bin (>= 6.2), libqt6webenginewidgets6 (>= 6.2)")
endif()

include(CPack)
