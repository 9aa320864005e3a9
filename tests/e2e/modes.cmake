# The run-mode tests (modes_e2e.sh): setup programs of their own, each with a
# configuration of its own (modes-config.x-ini.in: own registry keys, folder
# and names, and a finish program that leaves a mark) and a payload of the
# sample's files plus that program (modes_payload.py); the broken-configuration
# variant of the sample; and the window probe that shows the tests the
# windows' z-order and texts from inside Windows.
#   ok      the backdrop on, the payload intact
#   plain   the backdrop off, the last payload entry damaged (the installation fails)
# and three with the plain one's configuration and payload and a licence the
# licence page cannot read: not RTF, cut short, nested 33 groups deep.
set(modes_dir ${CMAKE_CURRENT_BINARY_DIR}/e2e-modes)
set(modes_sample_payload ${CMAKE_SOURCE_DIR}/resources/payload)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

add_executable(e2e_windows ${CMAKE_CURRENT_LIST_DIR}/tools/WindowProbe.cpp)
target_link_libraries(e2e_windows PRIVATE foreign_window_text)
set_target_properties(e2e_windows PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${modes_dir})

file(GLOB_RECURSE modes_sample_files CONFIGURE_DEPENDS ${modes_sample_payload}/*)

function(modes_setup name show_background payload_kind)
  set(dir ${modes_dir}/${name})
  set(MODES_SHOW_BACKGROUND ${show_background})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/modes-config.x-ini.in ${dir}/config.x-ini @ONLY)
  add_custom_command(
    OUTPUT ${dir}/payload.rar
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/modes_payload.py ${modes_sample_payload}
            $<TARGET_FILE:vxchild_marker> ${dir}/payload.rar ${payload_kind}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/modes_payload.py ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py
            vxchild_marker ${modes_sample_files}
    COMMENT "Packing the payload of the run-mode test installer ${name}"
    VERBATIM)
  add_custom_target(modes_payload_${name} DEPENDS ${dir}/payload.rar)
  add_setup_program(modes_setup_${name} ${dir} ${dir}/config.x-ini ${dir}/payload.rar)
  add_dependencies(modes_setup_${name} modes_payload_${name})
endfunction()

modes_setup(ok 1 "")
modes_setup(plain 0 damaged)

function(modes_licence_setup name text)
  set(dir ${modes_dir}/licence_${name})
  file(WRITE ${dir}/licence.rtf "${text}")
  add_setup_program(modes_setup_licence_${name} ${dir} ${modes_dir}/plain/config.x-ini
    ${modes_dir}/plain/payload.rar ${dir}/licence.rtf)
  add_dependencies(modes_setup_licence_${name} modes_payload_plain)
endfunction()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/licence.rtf)
file(READ ${CMAKE_SOURCE_DIR}/resources/licence.rtf modes_licence_cut LIMIT 2000)
string(REPEAT "{" 32 modes_open)
string(REPEAT "}" 32 modes_close)
modes_licence_setup(not_rtf "The licence agreement as plain text.\n")
modes_licence_setup(cut "${modes_licence_cut}")
modes_licence_setup(deep "{\\rtf1\\ansi ${modes_open}deep${modes_close}}")

add_test(NAME modes_e2e COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/modes_e2e.sh
  $<TARGET_FILE:modes_setup_ok> $<TARGET_FILE:modes_setup_plain> $<TARGET_FILE:setup_broken_config>
  $<TARGET_FILE:e2e_windows> $<TARGET_FILE:modes_setup_licence_not_rtf> $<TARGET_FILE:modes_setup_licence_cut>
  $<TARGET_FILE:modes_setup_licence_deep>)
set_tests_properties(modes_e2e PROPERTIES TIMEOUT 900 RESOURCE_LOCK display)
