# The Debian package of scripts/package: CPack's DEB generator over the install rules of data/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zvfeestats)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrelle)
set(CPACK_PACKAGE_CONTACT "Kestrelle ZV Fee Stats <zvfeestats@kestrelle.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tournament fee statistics for a Zorvane poker server")
set(CPACK_PACKAGE_DESCRIPTION
"ZV Fee Stats turns the tournament results files of a Zorvane poker server,
from a local folder or from the server's HTTP API, into a fee database:
which fee every player paid in every tournament, rebuys and add-ons
included. It browses the stored tournaments, answers a catalogue of fee
reports over any date range (or any SQL query) and exports them to CSV.

This package holds the window program zvfeestats, the command-line tool
zvfee (import, reports and the server's results without a window, for
scripts and cron jobs) and zvfee-demo-server, a small stand-in for the
poker server's API that serves a folder of results files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The workbook export's library, named as well as found by the shared-library scan.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxlsxwriter4")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
