# Review tools, for a person to look at (scripts/screenshots runs them), built
# with the resources setup.exe carries. Not part of the default build:
#   cmake --build <build> --target wizard_shots mode_shots
#   wine <build>/tests/wizard_shots.exe <folder>
# wizard_shots saves a picture of each wizard page of that configuration;
# mode_shots the express-update question, the progress window and the backdrop
# with the wizard above it.
function(add_review_tool target source)
  add_executable(${target} EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/tools/${source}
    ${CMAKE_CURRENT_LIST_DIR}/tools/WizardReview.cpp ${CMAKE_CURRENT_LIST_DIR}/WizardInspect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../tools/ReviewTool.cpp ${setup_gen_dir}/setup.rc ${GUI_MANIFEST}
    $<TARGET_OBJECTS:stringtable>)
  add_dependencies(${target} setup_payload)
  target_link_libraries(${target} PRIVATE wizard installer visual xini classlib foundation)
endfunction()

add_review_tool(wizard_shots WizardShots.cpp)
add_review_tool(mode_shots ModeShots.cpp)
# The resource script is setup.exe's own; this folder needs its dependencies too.
set_source_files_properties(${setup_gen_dir}/setup.rc PROPERTIES
  OBJECT_DEPENDS "${setup_res_files};${setup_payload}")
