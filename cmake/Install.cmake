# Installation as a desktop program of this platform, and the Debian package.
#
# The programs go to bin/; what they share (the FAQ, the demo site) to share/tavrel/, whose
# presence beside bin/ also tells an installed program to keep its data per user; the
# menu entry, the icon in the hicolor sizes and the manual pages where the desktop and man
# look for them.
include(GNUInstallDirs)

install(TARGETS tavrel tavrelctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where tavrelctl looks for it, from bin/.
install(TARGETS tavrelctl_metrics LIBRARY DESTINATION lib/tavrel)

set(tavrel_share ${CMAKE_INSTALL_DATADIR}/tavrel)
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/faq.fil)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/faq.fil DESTINATION ${tavrel_share})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/demo/ DESTINATION ${tavrel_share}/demo)

install(FILES ${PROJECT_SOURCE_DIR}/resources/tavrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/tavrel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME tavrel.png)
endforeach()
# Manual pages go compressed, as Debian's man looks for them.
set(tavrel_manuals)
foreach(page tavrel tavrelctl)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
    set(packed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${packed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${source} > ${packed}
        DEPENDS ${source} VERBATIM)
    list(APPEND tavrel_manuals ${packed})
endforeach()
add_custom_target(tavrel_manuals ALL DEPENDS ${tavrel_manuals})
install(FILES ${tavrel_manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A system service running tavrelctl watch with its metrics, for the administrator to adapt.
install(FILES ${PROJECT_SOURCE_DIR}/docs/tavrel-watch.service
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrel/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrel)
set(CPACK_PACKAGE_VENDOR "Tavrel")
set(CPACK_PACKAGE_CONTACT "Tavrel developers <tavrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see who holds files open on file servers, and keep a usage log")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrel watches a list of files on file servers: who holds each open, since when, from \
which machine and with which locks. It messages users, clears connections and locks, keeps \
a per-day usage log in SQLite and queries it. tavrelctl does the same from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Named explicitly: the SQLite driver is a plugin that no library links, and the rest keep
# the package installable without dpkg-shlibdeps on the build machine.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), \
libqt6printsupport6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins, \
libqt6httpserver6 (>= 6.4), libpq5, libsqlite3-0")
# A shared usage log needs the PostgreSQL driver; the Samba backend runs smbstatus and
# smbcontrol (Debian package samba) on the server itself, or there over ssh.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql (>= 6.4), openssh-client | samba")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "samba")
set(CPACK_STRIP_FILES ON)
include(CPack)
