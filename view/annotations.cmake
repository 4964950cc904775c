# The annotations of a page: the tag reader, free of the window system.
add_library(clarivo_annotations STATIC ${CMAKE_CURRENT_LIST_DIR}/AnnotationsUnit.cpp)
target_include_directories(clarivo_annotations PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(clarivo_annotations PUBLIC clarivo_platform)

# The move-and-resize frame of a selected mark.
add_library(clarivo_resizer STATIC ${CMAKE_CURRENT_LIST_DIR}/GraphicControlResizer.cpp)
target_include_directories(clarivo_resizer PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(clarivo_resizer PUBLIC Qt6::Widgets)

# "Proprietà Annotazione", the properties dialog of one mark.
add_library(clarivo_annoprop STATIC ${CMAKE_CURRENT_LIST_DIR}/UnitDlgAnnoProp.cpp)
target_include_directories(clarivo_annoprop PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(clarivo_annoprop PUBLIC Qt6::Widgets clarivo_platform)

# The annotation editor and its five marks on the view's display panel.
add_library(clarivo_editor STATIC ${CMAKE_CURRENT_LIST_DIR}/AnnotationsEditor.cpp)
target_include_directories(clarivo_editor PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(clarivo_editor PUBLIC clarivo_annotations clarivo_resizer clarivo_annoprop
                      clarivo_imaging Qt6::Widgets)
