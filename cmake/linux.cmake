# The Linux program: kestrion (X11, and Wayland where its packages are there;
# OpenGL, GLX and EGL loaded at run time),
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
include(${CMAKE_CURRENT_LIST_DIR}/wayland.cmake)

# The default data set, from the native forge.
add_custom_command(
  OUTPUT ${KESTRION_LINUX_DATA}/Explosion.as
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRION_LINUX_DATA}
  COMMAND $<TARGET_FILE:kestrion-forge> defaults ${KESTRION_LINUX_DATA}
  DEPENDS kestrion-forge
  COMMENT "Writing the default data set for kestrion")
add_custom_target(kestrion_linux_data ALL DEPENDS ${KESTRION_LINUX_DATA}/Explosion.as)
add_dependencies(kestrion kestrion_linux_data)

include(GNUInstallDirs)
install(TARGETS kestrion kestrion-forge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${KESTRION_LINUX_DATA}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrion)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrion
        RENAME copyright)
install(FILES ${CMAKE_SOURCE_DIR}/shell/x11/kestrion.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)

# The Debian package (scripts/package): the install above under /usr. The
# libraries the programs link (Xlib, the C and C++ runtimes) are found by
# dpkg-shlibdeps; OpenGL and GLU are loaded at run time, so they are named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrion developers")
set(CPACK_PACKAGE_CONTACT "Kestrion developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "space battle screen saver for X11 and xscreensaver")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Two alliances of space-ship fleets fight an endless OpenGL battle. kestrion runs in a "
       "window of its own or as an xscreensaver hack; races come from data files, and "
       "kestrion-forge makes new ones from OBJ models and exports them back.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libglu1-mesa")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
# scripts/package builds what the package holds; packing must not build everything else.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
include(CPack)
