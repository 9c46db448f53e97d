# The Debian packages of scripts/package: CPack's DEB generator over the install rules, one
# package per install component. "main" (the default component of every install rule) is
# zvfeestats; "demo" is zvfeestats-demo-server, so that only the demo server needs cpp-httplib.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zvfeestats)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZV Fee Stats maintainers")
set(CPACK_PACKAGE_CONTACT "ZV Fee Stats maintainers <zvfeestats@kestrelle.example>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://git.kestrelle.example/kestrelle/zvfeestats")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL main demo)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME zvfeestats)
set(CPACK_DEBIAN_DEMO_PACKAGE_NAME zvfeestats-demo-server)
set(CPACK_DEBIAN_MAIN_DESCRIPTION
"tournament fee statistics for a Zorvane poker server
ZV Fee Stats turns the tournament results files of a Zorvane poker server,
from a local folder or from the server's HTTP API, into a fee database:
which fee every player paid in every tournament, rebuys and add-ons
included. It browses the stored tournaments, answers a catalogue of fee
reports over any date range (or any SQL query) and exports them to CSV.
.
This package holds the window program zvfeestats and the command-line tool
zvfee (import, reports, backups and the server's results without a window,
for scripts and cron jobs).")
set(CPACK_DEBIAN_DEMO_DESCRIPTION
"stand-in for a Zorvane poker server's results API
zvfee-demo-server serves a folder of tournament results files over the
results API of a Zorvane poker server (plain or TLS), so that ZV Fee Stats
can be tried, and its remote import tested, without a poker server.")
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each package depends on what its own programs link, as dpkg-shlibdeps finds it, and on nothing
# else: a package-wide list would go to both packages (the demo server links no workbook library)
# and name the main package's libraries a second time.
set(CPACK_DEBIAN_MAIN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEMO_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
