# wizard_shots: saves a picture of each wizard page of the configuration that
# setup.exe carries, for review by eye (scripts/screenshots runs it). Not part
# of the default build:
#   cmake --build <build> --target wizard_shots
#   wine <build>/tests/wizard_shots.exe <folder>
add_executable(wizard_shots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/tools/WizardShots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WizardInspect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../tools/ReviewTool.cpp ${setup_gen_dir}/setup.rc ${GUI_MANIFEST}
  $<TARGET_OBJECTS:stringtable>)
# The resource script is setup.exe's own; this folder needs its dependencies too.
set_source_files_properties(${setup_gen_dir}/setup.rc PROPERTIES
  OBJECT_DEPENDS "${setup_res_files};${setup_payload}")
add_dependencies(wizard_shots setup_payload)
target_link_libraries(wizard_shots PRIVATE wizard installer visual xini classlib foundation)
