# The annotations of a page: the tag reader, free of the window system.
add_library(clarivo_annotations STATIC ${CMAKE_CURRENT_LIST_DIR}/AnnotationsUnit.cpp)
target_include_directories(clarivo_annotations PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(clarivo_annotations PUBLIC clarivo_platform)
