# What `cmake --install` puts in place on Linux, and the Debian package CPack makes of
# it: the program, its link in xscreensaver's hack folder, the module's config file for
# xscreensaver's settings program, a menu entry for the settings window and its icon.
# The icon is resources/zimoklas.ico as PNG:
#   convert 'resources/zimoklas.ico[0]' -strip PNG32:resources/linux/zimoklas.png
include(GNUInstallDirs)
set(ZIMOKLAS_LINUX_RESOURCES ${PROJECT_SOURCE_DIR}/resources/linux)

install(TARGETS zimoklas RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The launcher that starts the saver after idle time: its systemd user unit, and the
# autostart entry of sessions without systemd, which XDG looks for in /etc/xdg only.
install(TARGETS zimoklas-idle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas-idle.service DESTINATION lib/systemd/user)
install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas-idle.desktop DESTINATION /etc/xdg/autostart)

# xscreensaver looks for its hacks in libexec/xscreensaver; a relative link keeps the
# tree relocatable.
set(hack_link ${CMAKE_CURRENT_BINARY_DIR}/hack-link/zimoklas)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/hack-link)
file(CREATE_LINK ../../${CMAKE_INSTALL_BINDIR}/zimoklas ${hack_link} SYMBOLIC)
install(FILES ${hack_link} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)

install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)

# Debian wants the changelog and the manual page compressed, reproducibly (no name, no time stamp).
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND gzip -9nc ${ZIMOKLAS_LINUX_RESOURCES}/changelog > ${changelog_gz}
  DEPENDS ${ZIMOKLAS_LINUX_RESOURCES}/changelog VERBATIM)
set(manual_gz ${CMAKE_CURRENT_BINARY_DIR}/zimoklas.6.gz)
add_custom_command(OUTPUT ${manual_gz}
  COMMAND gzip -9nc ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas.6 > ${manual_gz}
  DEPENDS ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas.6 VERBATIM)
set(idle_manual_gz ${CMAKE_CURRENT_BINARY_DIR}/zimoklas-idle.1.gz)
add_custom_command(OUTPUT ${idle_manual_gz}
  COMMAND gzip -9nc ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas-idle.1 > ${idle_manual_gz}
  DEPENDS ${ZIMOKLAS_LINUX_RESOURCES}/zimoklas-idle.1 VERBATIM)
add_custom_target(zimoklas_compressed_docs ALL DEPENDS ${changelog_gz} ${manual_gz} ${idle_manual_gz})
install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${idle_manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZIMOKLAS_LINUX_RESOURCES}/copyright ${changelog_gz}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zimoklas)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zimoklas)
set(CPACK_PACKAGE_VERSION ${ZIMOKLAS_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Ombra Software")
set(CPACK_PACKAGE_CONTACT "Ombra Software <zimoklas@ombra.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "New Year's Eve screen saver with fireworks and snow")
set(CPACK_PACKAGE_DESCRIPTION
  "Rockets burst into coloured sparks, snow falls in the colour you choose, and\n"
  "the date and time, a greeting and a large P.F. line with the current year\n"
  "stand over the scene. Runs on its own (zimoklas /s) or as a module of\n"
  "xscreensaver. zimoklas-idle starts it after idle time on any desktop:\n"
  "systemctl --user enable --now zimoklas-idle")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
# The texts of the scene and of the settings window are set in Liberation Sans.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The autostart entry is the one file in /etc: a configuration file the user may change.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/zimoklas-idle.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles)

# The RPM (cpack -G RPM) holds the same files; rpmbuild computes its dependencies from
# the program's libraries. Folders that the system's own packages own stay theirs.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE "Freeware")
set(CPACK_RPM_PACKAGE_GROUP "Amusements/Graphics")
set(CPACK_RPM_PACKAGE_URL "http://www.ombra.example/")
set(CPACK_RPM_PACKAGE_AUTOREQ ON)
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# No /usr/lib/.build-id links: they are not among the .deb's files. The face the texts are
# set in is recommended by the name rpm's font generator gives every package that holds
# it (Fedora's liberation-sans-fonts, openSUSE's liberation-fonts); CPack has no variable
# for Recommends, and this text lands in the preamble of the file rpmbuild reads.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define _build_id_links none\nRecommends: font(liberationsans)")
set(CPACK_RPM_COMPRESSION_TYPE xz)
set(CPACK_RPM_USER_FILELIST "%config(noreplace) /etc/xdg/autostart/zimoklas-idle.desktop")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
  /etc /etc/xdg /etc/xdg/autostart
  ${CPACK_PACKAGING_INSTALL_PREFIX}/lib ${CPACK_PACKAGING_INSTALL_PREFIX}/lib/systemd
  ${CPACK_PACKAGING_INSTALL_PREFIX}/lib/systemd/user
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/xscreensaver
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/xscreensaver/config
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/icons
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man6
  ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc)
include(CPack)
