# Puts a feature folder's sources into the libraries, each file named once:
#   ENGINE      plain C++ without Qt                          -> pixmend_engine
#   IMAGEFILES  image decoding and encoding (QtGui)           -> pixmend_imagefiles
#   WINDOWS     windows, dialogs and their widget helpers     -> pixmend_windows
#   ELSEWHERE   built by another target of the folder (main.cpp)
# A window source's header of the same name goes with it, for the moc. A .cpp
# file of the folder in no list stops the configuration: a new file must be
# given its library, it is never guessed from its name.
function(pixmend_sources)
  cmake_parse_arguments(P "" "" "ENGINE;IMAGEFILES;WINDOWS;ELSEWHERE" ${ARGN})
  set(_dir ${CMAKE_CURRENT_SOURCE_DIR})
  set(_listed ${P_ENGINE} ${P_IMAGEFILES} ${P_WINDOWS} ${P_ELSEWHERE})
  file(GLOB _present CONFIGURE_DEPENDS RELATIVE ${_dir} ${_dir}/*.cpp)
  foreach(f IN LISTS _present)
    if(NOT f IN_LIST _listed)
      message(FATAL_ERROR "${_dir}/${f} is in no library: add it to a list in ${_dir}/CMakeLists.txt")
    endif()
  endforeach()
  list(TRANSFORM P_ENGINE PREPEND ${_dir}/)
  list(TRANSFORM P_IMAGEFILES PREPEND ${_dir}/)
  if(P_ENGINE)
    target_sources(pixmend_engine PRIVATE ${P_ENGINE})
  endif()
  if(P_IMAGEFILES)
    target_sources(pixmend_imagefiles PRIVATE ${P_IMAGEFILES})
  endif()
  foreach(f IN LISTS P_WINDOWS)
    string(REGEX REPLACE "\\.cpp$" ".h" _header ${f})
    target_sources(pixmend_windows PRIVATE ${_dir}/${f})
    if(EXISTS ${_dir}/${_header})
      target_sources(pixmend_windows PRIVATE ${_dir}/${_header})
    endif()
  endforeach()
endfunction()
