# The run-mode tests (modes_e2e.sh): setup.exe programs of their own, built
# like the product from the sample's licence and pictures, with a configuration
# of their own (modes-config.x-ini.in: own registry keys, folder and names, and
# a finish program that leaves a mark) and the sample payload plus that
# program; and the window probe that shows the tests the windows' z-order and
# texts from inside Windows.
#   ok      the backdrop on, the payload intact
#   plain   the backdrop off, the last payload entry damaged (the installation fails)
#   broken  a configuration without its required app_sign (loading fails)
set(modes_dir ${CMAKE_CURRENT_BINARY_DIR}/e2e-modes)
set(modes_sample ${CMAKE_SOURCE_DIR}/resources)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_executable(e2e_windows ${CMAKE_CURRENT_LIST_DIR}/tools/WindowProbe.cpp)
set_target_properties(e2e_windows PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${modes_dir})

file(GLOB_RECURSE modes_sample_payload CONFIGURE_DEPENDS ${modes_sample}/payload/*)

function(modes_setup name show_background app_sign payload_kind)
  set(dir ${modes_dir}/${name})
  set(MODES_SHOW_BACKGROUND ${show_background})
  set(MODES_APP_SIGN "${app_sign}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/modes-config.x-ini.in ${dir}/config.x-ini @ONLY)

  add_custom_command(
    OUTPUT ${dir}/payload.rar
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/modes_payload.py ${modes_sample}/payload
            $<TARGET_FILE:vxchild_marker> ${dir}/payload.rar ${payload_kind}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/modes_payload.py ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py
            vxchild_marker ${modes_sample_payload}
    COMMENT "Packing the payload of the run-mode test installer ${name}"
    VERBATIM)

  set(SETUP_RC_CONFIG ${dir}/config.x-ini)
  set(SETUP_RC_PAYLOAD ${dir}/payload.rar)
  set(SETUP_RC_LICENCE ${modes_sample}/licence.rtf)
  set(SETUP_RC_BACKGROUND ${modes_sample}/background.jpg)
  set(SETUP_RC_LEFT ${modes_sample}/left.bmp)
  configure_file(${CMAKE_SOURCE_DIR}/resources/setup.rc.in ${dir}/setup.rc @ONLY)
  set_source_files_properties(${dir}/setup.rc PROPERTIES OBJECT_DEPENDS
    "${dir}/config.x-ini;${dir}/payload.rar;${SETUP_RC_LICENCE};${SETUP_RC_BACKGROUND};${SETUP_RC_LEFT}")

  add_executable(modes_setup_${name} WIN32 ${CMAKE_SOURCE_DIR}/installer/main.cpp ${dir}/setup.rc
    ${CMAKE_SOURCE_DIR}/classlib/manifest.rc $<TARGET_OBJECTS:stringtable>)
  set_target_properties(modes_setup_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir} OUTPUT_NAME setup)
  target_link_libraries(modes_setup_${name} PRIVATE wizard installer visual xini classlib foundation)
endfunction()

set(modes_sign "<s n=\"app_sign\" v=\"Sample.RequestDesk.E2E\"/>")
modes_setup(ok 1 "${modes_sign}" "")
modes_setup(plain 0 "${modes_sign}" damaged)
modes_setup(broken 1 "" "")

add_test(NAME modes_e2e COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/modes_e2e.sh
  $<TARGET_FILE:modes_setup_ok> $<TARGET_FILE:modes_setup_plain> $<TARGET_FILE:modes_setup_broken>
  $<TARGET_FILE:e2e_windows>)
set_tests_properties(modes_e2e PROPERTIES TIMEOUT 900 RESOURCE_LOCK display)
