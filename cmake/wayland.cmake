# The Wayland front-end of kestrion (shell/wayland, gl/egl), built when the
# Wayland packages are there: libwayland-client, libwayland-egl and
# libxkbcommon (the keymap, for the window's keys) linked,
# EGL and OpenGL loaded at run time, the protocol code generated with
# wayland-scanner from the XML of wayland-protocols and, for layer-shell and
# the virtual pointer of the tests, of the wlr-protocols folder that Debian
# ships in librust-wayland-protocols-dev. Without them kestrion is X11 only.
option(KESTRION_WAYLAND "Build the Wayland front-end when its packages are installed" ON)
set(KESTRION_HAVE_WAYLAND OFF)
if(NOT KESTRION_WAYLAND)
  return()
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WAYLAND QUIET IMPORTED_TARGET wayland-client wayland-egl xkbcommon)
  pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
endif()
find_program(WAYLAND_SCANNER wayland-scanner)
file(GLOB WLR_PROTOCOLS_DIRS LIST_DIRECTORIES true
     /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable)
list(SORT WLR_PROTOCOLS_DIRS)
list(POP_BACK WLR_PROTOCOLS_DIRS WLR_PROTOCOLS_DIR)
set(WLR_PROTOCOLS_DIR ${WLR_PROTOCOLS_DIR} CACHE PATH "wlr-protocols XML (layer-shell, virtual pointer)")

if(NOT WAYLAND_FOUND OR NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER OR
   NOT EXISTS "${WLR_PROTOCOLS_DIR}/wlr-layer-shell-unstable-v1.xml")
  message(STATUS "Wayland front-end: off (needs libwayland-dev, libxkbcommon-dev, "
                 "wayland-protocols and librust-wayland-protocols-dev; run scripts/setup); kestrion is X11 only")
  return()
endif()
set(KESTRION_HAVE_WAYLAND ON)
message(STATUS "Wayland front-end: on (wlr-protocols from ${WLR_PROTOCOLS_DIR})")

set(KESTRION_PROTOCOL_DIR ${CMAKE_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${KESTRION_PROTOCOL_DIR})

# kestrion_wayland_protocol(LIST NAME XML): NAME-client-protocol.h and
# NAME-protocol.c, generated at build time; the C file is appended to LIST.
function(kestrion_wayland_protocol list name xml)
  set(header ${KESTRION_PROTOCOL_DIR}/${name}-client-protocol.h)
  set(code ${KESTRION_PROTOCOL_DIR}/${name}-protocol.c)
  add_custom_command(
    OUTPUT ${header} ${code}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
    DEPENDS ${xml}
    COMMENT "Generating the ${name} protocol code")
  set(${list} ${${list}} ${header} ${code} PARENT_SCOPE)
endfunction()

set(KESTRION_WAYLAND_PROTOCOLS "")
kestrion_wayland_protocol(KESTRION_WAYLAND_PROTOCOLS xdg-shell
                          ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
kestrion_wayland_protocol(
  KESTRION_WAYLAND_PROTOCOLS xdg-decoration
  ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-decoration/xdg-decoration-unstable-v1.xml)
kestrion_wayland_protocol(KESTRION_WAYLAND_PROTOCOLS xdg-output
                          ${WAYLAND_PROTOCOLS_DIR}/unstable/xdg-output/xdg-output-unstable-v1.xml)
kestrion_wayland_protocol(KESTRION_WAYLAND_PROTOCOLS viewporter
                          ${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
kestrion_wayland_protocol(
  KESTRION_WAYLAND_PROTOCOLS fractional-scale
  ${WAYLAND_PROTOCOLS_DIR}/staging/fractional-scale/fractional-scale-v1.xml)
kestrion_wayland_protocol(KESTRION_WAYLAND_PROTOCOLS wlr-layer-shell
                          ${WLR_PROTOCOLS_DIR}/wlr-layer-shell-unstable-v1.xml)

file(GLOB KESTRION_SHELL_WAYLAND CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/wayland/*.cpp
     ${CMAKE_SOURCE_DIR}/gl/egl/egl_context.cpp)
target_sources(kestrion PRIVATE ${KESTRION_SHELL_WAYLAND} ${KESTRION_WAYLAND_PROTOCOLS})
target_include_directories(kestrion PRIVATE ${KESTRION_PROTOCOL_DIR})
target_compile_definitions(kestrion PRIVATE KESTRION_WAYLAND=1)
target_link_libraries(kestrion PRIVATE PkgConfig::WAYLAND)
