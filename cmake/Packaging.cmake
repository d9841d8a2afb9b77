# Cardhold as a Linux user installs it: the AppStream metadata, the manual pages, the
# Debian package's own documents, and the package itself. `cpack -G DEB` in the build folder
# makes cardhold_<version>_amd64.deb; scripts/package-check.sh builds it with Debian's
# hardening flags, checks it with lintian and tries it on a fresh Debian 12.
#
# The version is the project's (project(... VERSION) in the top CMakeLists.txt): the
# programs print it, and the package, the metadata's newest release, the manual pages and
# the changelog all take it from there.

if(NOT (UNIX AND NOT APPLE))
    return()
endif()

set(CARDHOLD_APP_ID "example.marigold_cardhold.cardhold")
set(CARDHOLD_HOMEPAGE "https://www.marigold-cardhold.example")
set(CARDHOLD_MAINTAINER "Marigold Cardhold maintainers <maintainers@marigold-cardhold.example>")
# The licence as SPDX names it; packaging/copyright.in holds its text.
set(CARDHOLD_LICENSE "MIT")
# The day this version was released: the metadata's release, the manual pages' date and
# the changelog's entry.
set(CARDHOLD_RELEASE_DATE "2026-12-08")

set(packaging_out "${PROJECT_BINARY_DIR}/packaging")
execute_process(COMMAND date -u -R -d "${CARDHOLD_RELEASE_DATE}"
    OUTPUT_VARIABLE CARDHOLD_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

# AppStream: /usr/share/metainfo/<id>.metainfo.xml.
set(CARDHOLD_METAINFO "${packaging_out}/${CARDHOLD_APP_ID}.metainfo.xml")
configure_file("${PROJECT_SOURCE_DIR}/src/app/cardhold.metainfo.xml.in" "${CARDHOLD_METAINFO}" @ONLY)
install(FILES "${CARDHOLD_METAINFO}" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

# Manual pages, written in troff in docs/man, installed compressed as Debian has them; and
# the Debian documents, the copyright and the changelog.
set(CARDHOLD_MANUAL_PAGES "${packaging_out}/man/cardhold.1" "${packaging_out}/man/cardhold-db.1")
set(CARDHOLD_COMPRESSED_MANUAL_PAGES)
foreach(page IN LISTS CARDHOLD_MANUAL_PAGES)
    get_filename_component(name "${page}" NAME)
    configure_file("${PROJECT_SOURCE_DIR}/docs/man/${name}.in" "${page}" @ONLY)
    list(APPEND CARDHOLD_COMPRESSED_MANUAL_PAGES "${page}.gz")
endforeach()
set(CARDHOLD_DOC_FILES "${packaging_out}/doc/copyright" "${packaging_out}/doc/changelog")
configure_file("${PROJECT_SOURCE_DIR}/packaging/copyright.in" "${packaging_out}/doc/copyright" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/packaging/changelog.in" "${packaging_out}/doc/changelog" @ONLY)
foreach(file IN LISTS CARDHOLD_MANUAL_PAGES ITEMS "${packaging_out}/doc/changelog")
    get_filename_component(folder "${file}" DIRECTORY)
    add_custom_command(OUTPUT "${file}.gz"
        COMMAND gzip -9nkf "${file}"
        DEPENDS "${file}"
        WORKING_DIRECTORY "${folder}"
        VERBATIM)
endforeach()
add_custom_target(cardhold_packaging_documents ALL
    DEPENDS ${CARDHOLD_COMPRESSED_MANUAL_PAGES} "${packaging_out}/doc/changelog.gz")
install(FILES ${CARDHOLD_COMPRESSED_MANUAL_PAGES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${packaging_out}/doc/copyright" "${packaging_out}/doc/changelog.gz"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/cardhold")

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cardhold)
set(CPACK_PACKAGE_VENDOR "The Marigold Cardhold developers")
set(CPACK_PACKAGE_CONTACT "${CARDHOLD_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "address book of names and free-form notes")
# The extended description; cpack puts the summary in front.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Each entry in Marigold Cardhold is a name and a memo that holds whatever
belongs to it: postal addresses, phone numbers, e-mail and web addresses,
file names, notes. Cardhold finds the numbers, addresses and file names in
the memo and dials, mails, browses or opens them through the desktop.

It narrows the list by a text, previews and prints banded reports, packs
its table and keeps a zip backup, builds media playlists, and imports and
exports vCard and CSV. The address book is an xBase table (DBF, FPT memos,
CDX index) that other xBase tools open too.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CARDHOLD_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: the faces the windows are drawn in, Qt's X11 platform plugin (only
# recommended by Qt, yet the program cannot start without it), and xdg-open, which opens
# mail, web addresses, files and the help pages.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-comic-neue, qt6-qpa-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

if(CARDHOLD_BUILD_TESTS)
    add_subdirectory(tests/packaging)
endif()
