# What a host application ships: the program alone, installed under the usual prefixes, and on
# Linux a Debian package of it. The static core, the tests and the benchmarks stay in the build.
include(GNUInstallDirs)
install(TARGETS velkor-calendar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VELKOR_PACKAGE_MAINTAINER "velkor-calendar maintainers <maintainers@velkor.invalid>" CACHE STRING
  "Maintainer field of the Debian package: set your own when you publish one")

set(CPACK_PACKAGE_NAME velkor-calendar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Reads the user's calendars for a desktop application, answering in JSON")
set(CPACK_PACKAGE_CONTACT "${VELKOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELKOR_PACKAGE_MAINTAINER}")
# CPack puts the summary first and indents these lines as Debian's control file wants.
set(CPACK_PACKAGE_DESCRIPTION "A host desktop application spawns velkor-calendar; its commands
(status, request, calendars, events) answer with one line of JSON and an exit
status. It reads the directory of iCalendar files that CalDAV sync tools write
under $XDG_DATA_HOME/calendars.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# velkor-calendar_VERSION_ARCH.deb, the name Debian's tools expect.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries the program actually links (dpkg-shlibdeps), so a store
# library added later is declared without a change here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

if(APPLE)
  # The signature lives in the binary: stripping it after the build would break it.
  set(CPACK_GENERATOR TGZ)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
