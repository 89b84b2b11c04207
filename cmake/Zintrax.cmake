# Helpers shared by the folders of the build.

# Every library's public include folder lies in the build tree and holds only the library's own
# headers, under the path of its folder below src/: "#include "framework/DAEffect.h"" works in the
# framework and in what links it, and nowhere else ("formats/common/..." for src/formats/common).
# A library reaches another's headers only by linking it.
set(ZINTRAX_INCLUDE_ROOT ${PROJECT_BINARY_DIR}/include)

# zintrax_library(NAME [SOURCES ...] [PUBLIC ...] [PRIVATE ...]): the static library of the
# current folder of src/, built from every .cpp in it unless SOURCES names them. PUBLIC lists
# the libraries whose headers its own headers include, PRIVATE those that only its sources use.
function(zintrax_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(include_dir ${ZINTRAX_INCLUDE_ROOT}/${name})
  get_filename_component(parent ${include_dir}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_dir}/${folder} SYMBOLIC)
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${include_dir})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# zintrax_headers(NAME HEADERS header... [LINKS ...]): an interface target that exposes only
# the named headers of the current folder of src/, spelled as usual ("framework/DAEffect.h"),
# for users that must see nothing else of that library.
function(zintrax_headers name)
  cmake_parse_arguments(ARG "" "" "HEADERS;LINKS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(include_dir ${ZINTRAX_INCLUDE_ROOT}/${name})
  file(MAKE_DIRECTORY ${include_dir}/${folder})
  foreach(header ${ARG_HEADERS})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${include_dir}/${folder}/${header}
         SYMBOLIC)
  endforeach()
  add_library(${name} INTERFACE)
  target_include_directories(${name} INTERFACE ${include_dir})
  target_link_libraries(${name} INTERFACE ${ARG_LINKS})
endfunction()

# zintrax_embed_bytes(VARIABLE FILE): the bytes of FILE as the text of a C++ initialiser list
# ("0x4d,0x5a,"); the build configures again when the file changes.
function(zintrax_embed_bytes variable file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${variable} "${bytes}" PARENT_SCOPE)
endfunction()

# Adds every direct sub-folder of DIR that has a CMakeLists.txt.
function(zintrax_add_subdirectories dir)
  file(GLOB children LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/${dir}/*)
  foreach(child ${children})
    if(EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
