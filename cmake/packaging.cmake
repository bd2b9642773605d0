# What a host application ships, installed under the usual prefixes and, on Linux, as two Debian
# packages: velkor-calendar (the program, its manual page) and velkor-calendar-eds (the module
# that reads GNOME's calendar store), which the first recommends. The static core, the tests and
# the benchmarks stay in the build.
# Directories 0755 whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS velkor-calendar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
if(VELKOR_HAVE_EDS)
  # The folder the program was built to look in (VELKOR_DESKTOP_MODULE_DIR); a module is no
  # executable.
  install(TARGETS velkor-calendar-eds LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velkor-calendar
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT eds)
endif()

set(VELKOR_PACKAGE_MAINTAINER "velkor-calendar maintainers <maintainers@velkor.invalid>" CACHE STRING
  "Maintainer field of the Debian package: set your own when you publish one")

# The manual page and, for each package, the Debian changelog, compressed as Debian wants them
# (gzip -9, no name or time stamp, so the bytes are the same every build).
set(docs ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/docs/velkor-calendar.1 ${docs}/velkor-calendar.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${docs}/changelog @ONLY)
foreach(doc velkor-calendar.1 changelog)
  add_custom_command(OUTPUT ${docs}/${doc}.gz COMMAND gzip -9nf -k ${docs}/${doc}
    DEPENDS ${docs}/${doc} VERBATIM)
endforeach()
add_custom_target(velkor_docs DEPENDS ${docs}/velkor-calendar.1.gz ${docs}/changelog.gz)
add_dependencies(velkor-calendar velkor_docs)
install(FILES ${docs}/velkor-calendar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT program)
if(NOT APPLE)
  set(packages program:velkor-calendar)
  if(VELKOR_HAVE_EDS)
    list(APPEND packages eds:velkor-calendar-eds)
  endif()
  foreach(package ${packages})
    string(REPLACE ":" ";" package ${package})
    list(GET package 0 component)
    list(GET package 1 name)
    # A version without a Debian revision makes a native package: changelog.gz, not
    # changelog.Debian.gz.
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${docs}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
  endforeach()
endif()

set(CPACK_PACKAGE_NAME velkor-calendar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# No CPACK_PACKAGE_DESCRIPTION_SUMMARY: CPack would put it before each package's own summary.
set(CPACK_PACKAGE_CONTACT "${VELKOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELKOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# velkor-calendar_VERSION_ARCH.deb, the name Debian's tools expect.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends comes from the libraries each package's files actually link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME velkor-calendar)
# CPack puts the summary first and indents these lines as Debian's control file wants.
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "reads the user's calendars for a desktop application, in JSON
A host desktop application spawns velkor-calendar; its commands (status,
request, calendars, events) answer with one line of JSON and an exit status.
It reads the directory of iCalendar files that CalDAV sync tools write under
$XDG_DATA_HOME/calendars, and GNOME's calendar store when velkor-calendar-eds
is installed.")
if(VELKOR_HAVE_EDS)
  list(APPEND CPACK_COMPONENTS_ALL eds)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS velkor-calendar-eds)
  set(CPACK_DEBIAN_EDS_PACKAGE_NAME velkor-calendar-eds)
  # The module is built for this very program; dpkg-shlibdeps adds libecal and GLib.
  set(CPACK_DEBIAN_EDS_PACKAGE_DEPENDS "velkor-calendar (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_EDS_DESCRIPTION "GNOME calendars (Evolution Data Server) for velkor-calendar
The module velkor-calendar loads, when it is installed, to list and read the
calendars of Evolution Data Server: those of GNOME Calendar, Evolution and
GNOME Online Accounts.")
endif()

if(APPLE)
  # The signature lives in the binary: stripping it after the build would break it.
  set(CPACK_GENERATOR TGZ)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
