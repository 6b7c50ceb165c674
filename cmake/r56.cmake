# Small helpers shared by the CMake files of the tree.

# r56_library(NAME SOURCES files... LINKS targets...)
# A library whose sources are not written yet is an interface library, so
# that the tree builds at every step.
function(r56_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LINKS" ${ARGN})
  set(cpp ${A_SOURCES})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(cpp)
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${A_LINKS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${A_LINKS})
  endif()
endfunction()

# r56_split_sources(DIR UI_UNITS units... CORE_VAR var UI_VAR var)
# Every .cpp/.h of DIR belongs to the core (logic) library unless its unit
# name is one of UI_UNITS, the windows, which go to the widget library. New
# files join their library without touching any CMake file.
function(r56_split_sources)
  cmake_parse_arguments(A "" "DIR;CORE_VAR;UI_VAR" "UI_UNITS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${A_DIR}/*.cpp ${A_DIR}/*.h)
  set(core "")
  set(ui "")
  foreach(f ${all})
    get_filename_component(unit ${f} NAME_WE)
    if(unit IN_LIST A_UI_UNITS)
      list(APPEND ui ${f})
    else()
      list(APPEND core ${f})
    endif()
  endforeach()
  set(${A_CORE_VAR} ${core} PARENT_SCOPE)
  set(${A_UI_VAR} ${ui} PARENT_SCOPE)
endfunction()

# r56_use_giflib(TARGET): giflib as a test oracle or benchmark peer, where it
# is installed (libgif-dev); R56_HAVE_GIFLIB tells the sources.
function(r56_use_giflib target)
  find_library(GIFLIB_LIBRARY gif)
  find_path(GIFLIB_INCLUDE_DIR gif_lib.h)
  if(GIFLIB_LIBRARY AND GIFLIB_INCLUDE_DIR AND TARGET ${target})
    target_include_directories(${target} PRIVATE ${GIFLIB_INCLUDE_DIR})
    target_link_libraries(${target} PRIVATE ${GIFLIB_LIBRARY})
    target_compile_definitions(${target} PRIVATE R56_HAVE_GIFLIB=1)
  endif()
endfunction()
