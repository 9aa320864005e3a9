# visual_dlgshots: saves a picture of each kind of message dialog, for review
# by eye. Not part of the default build:
#   cmake --build <build> --target visual_dlgshots
#   wine <build>/tests/visual_dlgshots.exe <folder>
add_executable(visual_dlgshots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/tools/DlgShots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/ReviewTool.cpp ${GUI_MANIFEST} $<TARGET_OBJECTS:stringtable>)
target_link_libraries(visual_dlgshots PRIVATE visual classlib foundation)
