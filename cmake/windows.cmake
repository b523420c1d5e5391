# The Windows program: Kestrion.scr, statically linked, plus its run folder.
enable_language(RC)

set(KESTRION_GENERATED ${CMAKE_BINARY_DIR}/generated)
set(KESTRION_RUN ${CMAKE_BINARY_DIR}/run)
file(MAKE_DIRECTORY ${KESTRION_GENERATED} ${KESTRION_RUN})
configure_file(${CMAKE_SOURCE_DIR}/resources/kestrion_version.h.in
               ${KESTRION_GENERATED}/kestrion_version.h @ONLY)

file(GLOB KESTRION_RESOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
file(GLOB KESTRION_SHELL_WIN32 CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/win32/*.cpp)

add_executable(Kestrion WIN32 ${KESTRION_SHELL_WIN32} ${KESTRION_RESOURCES})
set_target_properties(Kestrion PROPERTIES OUTPUT_NAME Kestrion SUFFIX .scr
                      RUNTIME_OUTPUT_DIRECTORY ${KESTRION_RUN})
target_link_libraries(Kestrion PRIVATE kestrion_core winmm gdi32 user32 advapi32 shell32 ole32)
target_link_options(Kestrion PRIVATE -static -static-libgcc -static-libstdc++)
target_include_directories(Kestrion PRIVATE ${CMAKE_SOURCE_DIR} ${KESTRION_GENERATED})
set_property(SOURCE ${KESTRION_RESOURCES} APPEND PROPERTY INCLUDE_DIRECTORIES
             ${KESTRION_GENERATED} ${CMAKE_SOURCE_DIR}/resources)

# The data set, the dialog bitmap and the icon come from the native forge.
if(KESTRION_FORGE)
  add_custom_command(
    OUTPUT ${KESTRION_GENERATED}/Kestrion.ico ${KESTRION_GENERATED}/config.bmp
           ${KESTRION_RUN}/Explosion.as
    COMMAND ${KESTRION_FORGE} defaults ${KESTRION_RUN}
    COMMAND ${KESTRION_FORGE} resources ${KESTRION_GENERATED}
    DEPENDS ${KESTRION_FORGE}
    COMMENT "Writing the default data set and the resource images")
  add_custom_target(kestrion_data_set ALL DEPENDS ${KESTRION_GENERATED}/Kestrion.ico
                    ${KESTRION_RUN}/Explosion.as)
  add_dependencies(Kestrion kestrion_data_set)
  set_property(SOURCE ${KESTRION_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS
               ${KESTRION_GENERATED}/Kestrion.ico ${KESTRION_GENERATED}/config.bmp)
endif()

# The end-to-end tests' helper program.
file(GLOB KESTRION_E2E_HELPER CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/helper/*.cpp)
if(KESTRION_E2E_HELPER)
  add_executable(kestrion-e2e-helper ${KESTRION_E2E_HELPER})
  set_target_properties(kestrion-e2e-helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_link_libraries(kestrion-e2e-helper PRIVATE user32 advapi32 gdi32 version shell32 ole32 uuid)
  target_link_options(kestrion-e2e-helper PRIVATE -static -static-libgcc -static-libstdc++)
endif()

# kestrion-forge.exe, the same tool for Windows modders, into the run folder.
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/forge ${CMAKE_BINARY_DIR}/tools/forge)

# What the Windows packages hold: the shipped files of the run folder (the forge
# too, once it is built there), a README and the license, with Windows line
# ends. scripts/package installs this into a staging folder and makes the zip
# and the installer from it.
set(KESTRION_PACKAGE_TEXTS ${CMAKE_BINARY_DIR}/package-texts)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt.in
               ${KESTRION_PACKAGE_TEXTS}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${KESTRION_PACKAGE_TEXTS}/LICENSE.txt @ONLY
               NEWLINE_STYLE CRLF)
install(DIRECTORY ${KESTRION_RUN}/ DESTINATION .
        FILES_MATCHING PATTERN Kestrion.scr PATTERN *.ast PATTERN Explosion.as
                       PATTERN kestrion-forge.exe)
install(FILES ${KESTRION_PACKAGE_TEXTS}/README.txt ${KESTRION_PACKAGE_TEXTS}/LICENSE.txt
        DESTINATION .)
