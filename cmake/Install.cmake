# What `cmake --install` puts in place and what `cpack` packs as a Debian package.
include(GNUInstallDirs)

install(TARGETS quentaril RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/quentaril.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/quentaril.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page and the changelog go in compressed, as a distribution keeps them; gzip -n keeps
# the files the same from build to build.
find_program(GZIP gzip REQUIRED)
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(data/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
set(gzipped)
foreach(source IN ITEMS ${PROJECT_SOURCE_DIR}/data/quentaril.1 ${CMAKE_BINARY_DIR}/package/changelog)
    get_filename_component(name ${source} NAME)
    set(target ${CMAKE_BINARY_DIR}/package/${name}.gz)
    add_custom_command(OUTPUT ${target}
        COMMAND ${GZIP} -9 -n -c ${source} > ${target}
        DEPENDS ${source}
        VERBATIM)
    list(APPEND gzipped ${target})
endforeach()
add_custom_target(package_files ALL DEPENDS ${gzipped})
install(FILES ${CMAKE_BINARY_DIR}/package/quentaril.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz README.md data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quentaril)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quentaril)
set(CPACK_PACKAGE_VENDOR "Vantrello")
set(CPACK_PACKAGE_CONTACT "Vantrello <support@vantrello.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "save the messages of a webmail mailbox as text files")
# Each line of the extended description is indented by CPack; an empty line is written as " .".
set(CPACK_PACKAGE_DESCRIPTION "Quentaril signs in to a webmail mailbox over IMAPS, lists all or a
range of the messages of one of its folders in a checkable list, and saves the
checked messages as plain text: one file per message, or all in one file.
.
It only reads the mailbox: folders are opened read-only and messages are not
marked as read. Messages can be filtered while they are listed and checked by
sender, subject or date before they are saved.")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.vantrello.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window icon is an SVG, drawn by Qt's SVG image plug-in, which no linked library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The server's certificate is checked against the system's certificate authorities.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ca-certificates)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
