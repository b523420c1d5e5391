# The web page: kestrion.js and kestrion.wasm (Emscripten), the page's own
# files and the default data set, in one folder for any static web host.
set(KESTRION_WEB_SITE ${CMAKE_BINARY_DIR}/site CACHE PATH "Folder the web page is written to")
set(KESTRION_WEB_DATA ${KESTRION_WEB_SITE}/data)

file(GLOB KESTRION_SHELL_WEB CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/web/*.cpp)

add_executable(kestrion_web ${KESTRION_SHELL_WEB})
set_target_properties(kestrion_web PROPERTIES OUTPUT_NAME kestrion SUFFIX .js
                      RUNTIME_OUTPUT_DIRECTORY ${KESTRION_WEB_SITE})
# The forge's importer, for models dropped onto the page. Its readers may throw
# on a malformed file, which is then refused like any other.
include(${CMAKE_SOURCE_DIR}/cmake/forge_library.cmake)
kestrion_forge_library(kestrion_forge_web kestrion_core)
target_compile_options(kestrion_forge_web PRIVATE -fexceptions)
target_link_libraries(kestrion_web PRIVATE kestrion_forge_web kestrion_core)
target_link_options(
  kestrion_web PRIVATE
  -sENVIRONMENT=web
  -sMODULARIZE=1
  -sEXPORT_NAME=createKestrion
  -sALLOW_MEMORY_GROWTH=1
  -sFORCE_FILESYSTEM=1
  -sMIN_WEBGL_VERSION=2
  -sMAX_WEBGL_VERSION=2
  -fexceptions
  -sEXPORTED_RUNTIME_METHODS=FS,ccall
  -sEXPORTED_FUNCTIONS=_kestrion_races,_kestrion_read_address,_kestrion_check_fleets,_kestrion_renderer,_kestrion_start,_kestrion_frame,_kestrion_resize,_kestrion_add_race,_kestrion_import_model,_kestrion_restore,_kestrion_memory,_kestrion_page_settings,_kestrion_host_setting,_kestrion_pause,_kestrion_frame_due)

# The page's own files beside the program.
set(KESTRION_WEB_PAGE index.html page.css page.js)
set(page_outputs "")
foreach(file ${KESTRION_WEB_PAGE})
  add_custom_command(
    OUTPUT ${KESTRION_WEB_SITE}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/shell/web/${file} ${KESTRION_WEB_SITE}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/shell/web/${file})
  list(APPEND page_outputs ${KESTRION_WEB_SITE}/${file})
endforeach()
add_custom_target(kestrion_web_page ALL DEPENDS ${page_outputs})
# The offline copy's worker, named after the program's version.
configure_file(${CMAKE_SOURCE_DIR}/shell/web/sw.js ${KESTRION_WEB_SITE}/sw.js @ONLY)

# The data set from the native forge, and the list of its files with their
# sizes that the page loads it by (and measures its progress bar against).
if(KESTRION_FORGE)
  add_custom_command(
    OUTPUT ${KESTRION_WEB_DATA}/Explosion.as ${KESTRION_WEB_DATA}/files.json
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRION_WEB_DATA}
    COMMAND ${KESTRION_FORGE} defaults ${KESTRION_WEB_DATA}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${KESTRION_WEB_DATA} -P ${CMAKE_SOURCE_DIR}/cmake/web_files.cmake
    DEPENDS ${KESTRION_FORGE} ${CMAKE_SOURCE_DIR}/cmake/web_files.cmake
    COMMENT "Writing the default data set for the web page")
  add_custom_target(kestrion_web_data ALL DEPENDS ${KESTRION_WEB_DATA}/files.json)
endif()

# The wallpaper folder for Lively Wallpaper and Wallpaper Engine: the page in its
# wallpaper mode, the program and the data set packed into a script (a page
# opened from the disk may not fetch the files beside it), the hosts' JSON files
# and a preview of the battle drawn natively by kestrion-still.
set(KESTRION_WALLPAPER_SITE ${CMAKE_BINARY_DIR}/wallpaper CACHE PATH "Folder the wallpaper is written to")
if(KESTRION_FORGE)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  file(GLOB wallpaper_templates CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/web/wallpaper/*.json)
  add_custom_command(
    OUTPUT ${KESTRION_WALLPAPER_SITE}/index.html ${KESTRION_WALLPAPER_SITE}/packed.js
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/wallpaper.py ${KESTRION_WEB_SITE}
            ${KESTRION_WALLPAPER_SITE} ${PROJECT_VERSION} ${CMAKE_SOURCE_DIR}/shell/web/wallpaper
    DEPENDS kestrion_web ${page_outputs} ${KESTRION_WEB_DATA}/files.json
            ${CMAKE_SOURCE_DIR}/cmake/wallpaper.py ${wallpaper_templates}
    COMMENT "Writing the wallpaper folder")
  set(wallpaper_outputs ${KESTRION_WALLPAPER_SITE}/index.html)
  if(KESTRION_STILL)
    # Twenty frames of the opening, a tenth of a second apart: the animated
    # preview, and the eighth (beams out) as the still one.
    find_program(KESTRION_CONVERT convert REQUIRED)
    set(still ${CMAKE_BINARY_DIR}/still/frame)
    set(frames "")
    foreach(k RANGE 1 20)
      string(LENGTH "${k}" digits)
      if(digits EQUAL 1)
        set(k "0${k}")
      endif()
      list(APPEND frames ${still}-${k}.png)
    endforeach()
    add_custom_command(
      OUTPUT ${KESTRION_WALLPAPER_SITE}/preview.png ${KESTRION_WALLPAPER_SITE}/preview.gif
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/still ${KESTRION_WALLPAPER_SITE}
      COMMAND ${KESTRION_STILL} ${still} --size 640x360 --ships 10 --from 40 --count 20 --every 3
      COMMAND ${CMAKE_COMMAND} -E copy ${still}-08.png ${KESTRION_WALLPAPER_SITE}/preview.png
      COMMAND ${KESTRION_CONVERT} -delay 10 -loop 0 ${frames} -layers Optimize
              ${KESTRION_WALLPAPER_SITE}/preview.gif
      DEPENDS ${KESTRION_STILL}
      COMMENT "Drawing the wallpaper's preview")
    list(APPEND wallpaper_outputs ${KESTRION_WALLPAPER_SITE}/preview.png)
  endif()
  add_custom_target(kestrion_wallpaper ALL DEPENDS ${wallpaper_outputs})
endif()
