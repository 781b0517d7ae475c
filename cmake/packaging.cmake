# The Debian package (scripts/package runs `cpack -G DEB`). Its dependencies
# are read from the libraries the two programs link (dpkg-shlibdeps): Qt 6
# Widgets, MariaDB Connector/C (which brings libcrypto and zlib) and the C++
# runtime; nothing needed only to build or to test.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME veltrano)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert databases between Microsoft Access and MySQL")
set(CPACK_PACKAGE_DESCRIPTION
    "Veltrano is a wizard that converts a database in either direction between a\n"
    "Microsoft Access file (.mdb) and a MySQL or MariaDB server: table structure\n"
    "(column types, auto-increment columns, primary keys, indexes) and rows, with\n"
    "a report of each run. The batch tool veltrano-cli runs the same conversions\n"
    "from scripts. Access files are read and written by Veltrano's own engine.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Orvane <veltrano@orvane.github.io>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/orvane/veltrano")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Only what `cmake --install` puts in place: no test programs, no headers.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Veltrano;ALL;/")
include(CPack)
