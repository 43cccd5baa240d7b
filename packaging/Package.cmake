# The Debian package (scripts/package): CPack's DEB generator packs exactly what
# `cmake --install` installs, under /usr.
set(QUENLET_MAINTAINER "Corvanel <quenlet@corvanel.com>")

# The package's own documents: the copyright file and the changelog Debian tools read
# (compressed without a time stamp). They are installed from source as well.
execute_process(
    COMMAND date --utc --rfc-email --date "${QUENLET_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE QUENLET_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9 -n -k -f changelog
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/packaging
    VERBATIM)
add_custom_target(quenlet_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quenlet)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenlet)
set(CPACK_PACKAGE_VENDOR Corvanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUENLET_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut a part out of a video and save it in another format")
set(CPACK_PACKAGE_DESCRIPTION "Quenlet cuts one part out of a video file and writes it as a new
video file in the format you choose: mark where the cut starts and ends on the
seek bar of its preview player, pick a ready-made preset or a custom container
and codecs, and press Start. FFmpeg does the work; Quenlet shows its progress,
can stop it and shows its error text when it fails.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.corvanel.com/quenlet)
# The libraries' packages come from dpkg-shlibdeps; the encoder is a program it cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
