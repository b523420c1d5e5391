# tinyobjloader, tinygltf (with nlohmann-json) and stb are header files whose implementation we compile once
# (third_party.cpp). A copy of just those headers is included as system headers:
# their warnings are not ours, and the Windows build must not see the rest of
# the host's /usr/include.
set(KESTRION_THIRD_PARTY ${CMAKE_BINARY_DIR}/third_party CACHE INTERNAL "Third-party headers")
foreach(header tiny_obj_loader.h tiny_gltf.h nlohmann/json.hpp stb/stb_image.h
               stb/stb_image_write.h stb/stb_image_resize.h)
  string(MAKE_C_IDENTIFIER ${header} variable)
  find_file(KESTRION_HEADER_${variable} ${header} PATHS /usr/include NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KESTRION_HEADER_${variable})
    message(FATAL_ERROR "${header} is missing: install libtinyobjloader-dev, libtinygltf-dev, "
                        "nlohmann-json3-dev and libstb-dev (scripts/setup)")
  endif()
  get_filename_component(folder ${KESTRION_THIRD_PARTY}/${header} DIRECTORY)
  get_filename_component(source ${KESTRION_HEADER_${variable}} DIRECTORY)
  if(header MATCHES "^nlohmann/")
    # json.hpp includes the rest of its folder.
    file(COPY ${source}/ DESTINATION ${folder})
  else()
    file(COPY ${KESTRION_HEADER_${variable}} DESTINATION ${folder})
  endif()
endforeach()

# The third-party implementations take longer to compile than the rest of the
# forge, and four times that under the sanitizers: every forge library of a
# build folder shares the one object, compiled plainly (the fuzz build
# instruments it, since it fuzzes the glTF reader).
if(NOT TARGET kestrion_third_party)
  add_library(kestrion_third_party OBJECT ${CMAKE_SOURCE_DIR}/tools/forge/third_party.cpp)
  target_include_directories(kestrion_third_party PRIVATE ${CMAKE_SOURCE_DIR})
  target_include_directories(kestrion_third_party SYSTEM PRIVATE ${KESTRION_THIRD_PARTY})
endif()

# The generator as a library, so that tests can make the data set themselves.
function(kestrion_forge_library name core)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/forge/*.cpp)
  list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/tools/forge/main.cpp
       ${CMAKE_SOURCE_DIR}/tools/forge/third_party.cpp)
  list(APPEND sources $<TARGET_OBJECTS:kestrion_third_party>)
  # The preview's off-screen context (on Windows it reports that EGL is missing).
  list(APPEND sources ${CMAKE_SOURCE_DIR}/gl/egl/surfaceless.cpp)
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${core})
  target_include_directories(${name} SYSTEM PUBLIC ${KESTRION_THIRD_PARTY})
endfunction()
