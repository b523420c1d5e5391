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

include(GNUInstallDirs)
install(TARGETS kestrion RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${KESTRION_LINUX_DATA}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrion)
install(FILES ${CMAKE_SOURCE_DIR}/shell/x11/kestrion.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
