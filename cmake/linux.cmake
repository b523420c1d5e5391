# The Linux program: kestrion (X11, with OpenGL and GLX loaded at run time),
# laid out in the build tree as it is installed, so that it finds its data
# set at ../share/kestrion wherever the tree lies.
find_package(X11 REQUIRED)

set(KESTRION_LINUX_BIN ${CMAKE_BINARY_DIR}/bin)
set(KESTRION_LINUX_DATA ${CMAKE_BINARY_DIR}/share/kestrion)

file(GLOB KESTRION_SHELL_X11 CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/x11/*.cpp
     ${CMAKE_SOURCE_DIR}/gl/glx/*.cpp)
add_executable(kestrion ${KESTRION_SHELL_X11})
set_target_properties(kestrion PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KESTRION_LINUX_BIN})
target_include_directories(kestrion PRIVATE ${X11_INCLUDE_DIR})
target_link_libraries(kestrion PRIVATE kestrion_core ${X11_LIBRARIES})

# The default data set, from the native forge.
add_custom_command(
  OUTPUT ${KESTRION_LINUX_DATA}/Explosion.as
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRION_LINUX_DATA}
  COMMAND $<TARGET_FILE:kestrion-forge> defaults ${KESTRION_LINUX_DATA}
  DEPENDS kestrion-forge
  COMMENT "Writing the default data set for kestrion")
add_custom_target(kestrion_linux_data ALL DEPENDS ${KESTRION_LINUX_DATA}/Explosion.as)
add_dependencies(kestrion kestrion_linux_data)

# The desktop's files: the menu entry, the software centres' description, the
# icon (from the forge, like the Windows one), the manual pages and the
# package's changelog. Dated when configured (or at SOURCE_DATE_EPOCH), and
# compressed without a time stamp so that packing twice gives the same bytes.
set(KESTRION_LINUX_PACKAGING ${CMAKE_SOURCE_DIR}/packaging/linux)
set(KESTRION_LINUX_DESKTOP ${CMAKE_BINARY_DIR}/desktop)
set(KESTRION_APP_ID io.github.kestrion.Kestrion)
set(KESTRION_MAINTAINER "Kestrion developers <kestrion@users.noreply.github.com>")
string(TIMESTAMP KESTRION_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KESTRION_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${KESTRION_LINUX_PACKAGING}/${KESTRION_APP_ID}.metainfo.xml.in
               ${KESTRION_LINUX_DESKTOP}/${KESTRION_APP_ID}.metainfo.xml @ONLY)
set(KESTRION_GZIPPED "")
foreach(text kestrion.6 kestrion-forge.1 changelog)
  configure_file(${KESTRION_LINUX_PACKAGING}/${text}.in ${KESTRION_LINUX_DESKTOP}/${text} @ONLY)
  add_custom_command(
    OUTPUT ${KESTRION_LINUX_DESKTOP}/${text}.gz
    COMMAND sh -c "gzip -9nc ${text} >${text}.gz"
    WORKING_DIRECTORY ${KESTRION_LINUX_DESKTOP}
    DEPENDS ${KESTRION_LINUX_DESKTOP}/${text}
    COMMENT "Compressing ${text}"
    VERBATIM)
  list(APPEND KESTRION_GZIPPED ${KESTRION_LINUX_DESKTOP}/${text}.gz)
endforeach()
# The forge writes the icon at every size; the largest stands for them all.
set(KESTRION_ICON ${KESTRION_LINUX_DESKTOP}/hicolor/256x256/apps/kestrion.png)
add_custom_command(
  OUTPUT ${KESTRION_ICON}
  COMMAND $<TARGET_FILE:kestrion-forge> resources ${KESTRION_LINUX_DESKTOP}
  DEPENDS kestrion-forge
  COMMENT "Drawing the icon for the desktop")
add_custom_target(kestrion_linux_desktop ALL DEPENDS ${KESTRION_GZIPPED} ${KESTRION_ICON})
add_dependencies(kestrion kestrion_linux_desktop)

include(GNUInstallDirs)
install(TARGETS kestrion kestrion-forge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KESTRION_LINUX_PACKAGING}/${KESTRION_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KESTRION_LINUX_DESKTOP}/${KESTRION_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${KESTRION_LINUX_DESKTOP}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${KESTRION_LINUX_DESKTOP}/kestrion.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${KESTRION_LINUX_DESKTOP}/kestrion-forge.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KESTRION_LINUX_DESKTOP}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrion)
install(DIRECTORY ${KESTRION_LINUX_DATA}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrion)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrion
        RENAME copyright)
install(FILES ${CMAKE_SOURCE_DIR}/shell/x11/kestrion.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# The Debian package (scripts/package): the install above under /usr. The
# libraries the programs link (Xlib, Wayland's, the C and C++ runtimes) are
# found by dpkg-shlibdeps; EGL, OpenGL and GLU are loaded at run time, so they
# are named. The contents pass lintian without a warning (tests/linux).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrion developers")
set(CPACK_PACKAGE_CONTACT ${KESTRION_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTRION_MAINTAINER})
# The first line is the summary; the others, the long description, at most 80
# columns each as dpkg shows them.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "space battle screen saver and live wallpaper for X11 and Wayland\n"
       "Two alliances of space-ship fleets fight an endless OpenGL battle: ships\n"
       "wheel, fire beams and missiles, raise their shields and explode, and new\n"
       "ships fly in.\n"
       "\n"
       "kestrion runs in a window of its own, as an xscreensaver hack, as the screen\n"
       "saver of Wayland and X11 idle tools such as swayidle, hypridle and xss-lock,\n"
       "and as a live wallpaper on Wayland desktops with layer-shell. Fleets are\n"
       "chosen from the races of its data set; kestrion-forge makes new races from\n"
       "OBJ and glTF models and exports them back.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libglu1-mesa, libegl1")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
# scripts/package builds what the package holds; packing must not build everything else.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
include(CPack)
