# The Debian package: `cpack -G DEB` in the build folder. Its dependencies
# come from the shared libraries the programs use (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parvesta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Parvesta developers")
set(CPACK_PACKAGE_CONTACT "The Parvesta developers <developers@parvesta.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "download stored results from hand-held test instruments")
set(CPACK_PACKAGE_DESCRIPTION
    "Parvesta downloads the results stored in hand-held ultrasonic test
instruments of the VX-nn family (USB cable) and in the TR-620 (infrared
receiver on a serial port), shows them in a table and saves them as CSV
files with the system's decimal separator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://parvesta.io/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the archive's SQLite driver as a plugin, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
# Qt's own Russian texts (file dialog, message box buttons) for Russian desktops,
# and the driver for a lab's PostgreSQL archive server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
