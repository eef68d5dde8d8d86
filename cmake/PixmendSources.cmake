# Sorts the sources of one feature folder into the libraries by file name, so
# that a folder can hold its engine code, its image-file code and its windows
# side by side:
#   *_form*.cpp          windows and dialogs (Qt Widgets)  -> pixmend_windows
#   image_file*.cpp      image decoding and encoding (QtGui) -> pixmend_imagefiles
#   main.cpp             never added here (the executables take it)
#   anything else        the engine, plain C++ without Qt   -> pixmend_engine
function(pixmend_folder_sources)
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB _forms CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_form*.cpp)
  file(GLOB _images CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/image_file*.cpp)
  set(_engine ${_all})
  list(REMOVE_ITEM _engine ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
  foreach(f IN LISTS _forms _images)
    list(REMOVE_ITEM _engine ${f})
  endforeach()
  if(_engine)
    target_sources(pixmend_engine PRIVATE ${_engine})
  endif()
  if(_images)
    target_sources(pixmend_imagefiles PRIVATE ${_images})
  endif()
  if(_forms)
    file(GLOB _headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_form*.h)
    target_sources(pixmend_windows PRIVATE ${_forms} ${_headers})
  endif()
endfunction()
