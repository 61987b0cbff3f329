# The Debian package (scripts/package): what `cmake --install` lays out under /usr, plus the
# files Debian asks of every package. Firefox's pieces are installed by src/host/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zor-brakkon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZOR Brakkon maintainers <maintainers@users.noreply.c-seed-522d6910.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray program that stops unwanted popup windows in web browsers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZOR Brakkon lives in the notification area and decides on every new popup
window of the browsers it watches: Chromium-family browsers over the DevTools
protocol, and Firefox through a companion extension and a native-messaging
relay, both included.")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-utils opens the README from the About tab.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "firefox-esr | chromium, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Every Debian package carries its copyright and a compressed changelog.
set(_doc share/doc/zor-brakkon)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${_doc})
set(_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${_changelog}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(zor_changelog ALL DEPENDS ${_changelog})
install(FILES ${_changelog} DESTINATION ${_doc})
# The manual page of the command the package puts on the PATH.
set(_manpage ${CMAKE_BINARY_DIR}/zorbrakkon.1.gz)
add_custom_command(OUTPUT ${_manpage}
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/zorbrakkon.1 > ${_manpage}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/zorbrakkon.1 VERBATIM)
add_custom_target(zor_manpage ALL DEPENDS ${_manpage})
install(FILES ${_manpage} DESTINATION share/man/man1)
include(CPack)
