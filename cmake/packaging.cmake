if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/packaging_windows.cmake)
  return()
endif()

# Debian packages through CPack, one per install component:
#   liblumoapi0     (runtime) liblumoapi.so.0 and liblumohost.so.0
#   liblumoapi-dev  (dev)     the headers, the CMake package, lumoapi.pc and the .so links
#   lumo-tools      (tools)   lumo, lumo-sandbox, their man pages, lumo's shell completions
# scripts/package.sh configures a Release tree for /usr and runs cpack there; the libraries'
# dependencies on Debian's packages come from dpkg-shlibdeps, the -dev package's from the
# headers' own includes (named below).
set(LUMOAPI_PACKAGE_MAINTAINER "lumoapi developers <lumoapi@lumo.example>"
  CACHE STRING "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumoapi)
set(CPACK_PACKAGE_VENDOR "lumoapi developers")
set(CPACK_PACKAGE_CONTACT "${LUMOAPI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each component's description gives its package's synopsis (first line) and long text; a
# package-wide summary would be put in front of every one of them.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev tools)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMOAPI_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own libraries are found in the build tree; that they come from liblumoapi0 is said below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/host)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(lumo_package_version "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "lumoapi libraries")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liblumoapi0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "client library for the music service's REST API
liblumoapi builds, sends and parses the calls of a desktop music player to the
music service: song links, search, lyrics and pictures, artist info,
recommendations, radio, the user's song lists and favourites, cloud uploads
and usage reports. liblumohost is the host layer it stands on: HTTP over
libcurl on one network thread, the UI-thread loop and dispatcher, text
conversions, logging, settings and JSON readers.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)

set(CPACK_COMPONENT_DEV_DISPLAY_NAME "lumoapi development files")
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME liblumoapi-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The public headers include cpprestsdk's JSON; the CMake package finds cpprestsdk and glog, and
# lumoapi.pc requires glog, libcurl and libcrypto.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
  "libcpprest-dev, libgoogle-glog-dev, libcurl4-openssl-dev | libcurl-dev, libssl-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "client library for the music service's REST API (development files)
The headers of liblumoapi and its host layer liblumohost, the CMake package
(find_package(lumoapi): lumoapi::lumoapi and lumoapi::host) and the
pkg-config file lumoapi.pc.")

set(CPACK_COMPONENT_TOOLS_DISPLAY_NAME "lumo command-line tools")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME lumo-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "command-line tool and loopback sandbox for the music service's REST API
lumo drives every operation of liblumoapi from the command line, against a
built-in stand-in for the service by default, or against a server named with
--connect-to. lumo-sandbox runs that stand-in on its own on 127.0.0.1: it
checks signed addresses and session tokens and keeps its state in SQLite.")

# Every package carries the copyright file and a compressed changelog where Debian expects them.
# The changelog's date is the configuration's (SOURCE_DATE_EPOCH, when set, makes it fixed).
string(TIMESTAMP lumo_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
  ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
find_program(LUMO_GZIP gzip)
set(lumo_changelog "")
if(LUMO_GZIP)
  set(lumo_changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
  add_custom_command(OUTPUT ${lumo_changelog}
    COMMAND ${LUMO_GZIP} -9nc ${CMAKE_BINARY_DIR}/debian/changelog.Debian > ${lumo_changelog}
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.Debian
    COMMENT "Compressing the Debian changelog"
    VERBATIM)
  add_custom_target(lumo_debian_changelog ALL DEPENDS ${lumo_changelog})
endif()
foreach(package liblumoapi0:runtime liblumoapi-dev:dev lumo-tools:tools)
  string(REPLACE ":" ";" package "${package}")
  list(GET package 0 name)
  list(GET package 1 component)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${lumo_changelog}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
endforeach()

include(CPack)
