# The installer program setup.exe, built with the vendor's resources from
# SETUP_RESOURCE_DIR: config.x-ini, licence.rtf, background.jpg, left.bmp and
# the payload, either a ready payload.rar or a folder payload/ that is packed
# here into a stored RAR 4 archive.
#
# setup_program(TARGET PAYLOAD) makes one such program with the given payload
# archive and the other resources from SETUP_RESOURCE_DIR; the tests use it
# for variants of setup.exe. Its resource script is <build>/TARGET/setup.rc.

set(setup_gen_dir ${CMAKE_BINARY_DIR}/setup)
set(setup_res_files)
foreach(item config.x-ini licence.rtf background.jpg left.bmp)
  if(NOT EXISTS ${SETUP_RESOURCE_DIR}/${item})
    message(FATAL_ERROR "setup: ${SETUP_RESOURCE_DIR}/${item} is missing")
  endif()
  list(APPEND setup_res_files ${SETUP_RESOURCE_DIR}/${item})
endforeach()

if(EXISTS ${SETUP_RESOURCE_DIR}/payload.rar)
  set(setup_payload ${SETUP_RESOURCE_DIR}/payload.rar)
elseif(IS_DIRECTORY ${SETUP_RESOURCE_DIR}/payload)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(setup_payload ${setup_gen_dir}/payload.rar)
  file(GLOB_RECURSE setup_payload_files CONFIGURE_DEPENDS LIST_DIRECTORIES true ${SETUP_RESOURCE_DIR}/payload/*)
  add_custom_command(
    OUTPUT ${setup_payload}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py ${SETUP_RESOURCE_DIR}/payload ${setup_payload}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py ${setup_payload_files}
    COMMENT "Packing the payload into payload.rar"
    VERBATIM)
else()
  message(FATAL_ERROR "setup: ${SETUP_RESOURCE_DIR} has neither payload.rar nor a payload folder")
endif()
add_custom_target(setup_payload DEPENDS ${setup_payload})

function(setup_program target payload)
  set(gen_dir ${CMAKE_BINARY_DIR}/${target})
  set(SETUP_RC_CONFIG ${SETUP_RESOURCE_DIR}/config.x-ini)
  set(SETUP_RC_PAYLOAD ${payload})
  set(SETUP_RC_LICENCE ${SETUP_RESOURCE_DIR}/licence.rtf)
  set(SETUP_RC_BACKGROUND ${SETUP_RESOURCE_DIR}/background.jpg)
  set(SETUP_RC_LEFT ${SETUP_RESOURCE_DIR}/left.bmp)
  configure_file(${CMAKE_SOURCE_DIR}/resources/setup.rc.in ${gen_dir}/setup.rc @ONLY)
  set_source_files_properties(${gen_dir}/setup.rc PROPERTIES
    OBJECT_DEPENDS "${setup_res_files};${payload}")

  add_executable(${target} WIN32
    ${CMAKE_SOURCE_DIR}/installer/main.cpp
    ${gen_dir}/setup.rc
    ${CMAKE_SOURCE_DIR}/classlib/manifest.rc
    $<TARGET_OBJECTS:stringtable>)
  target_link_libraries(${target} PRIVATE wizard installer visual xini classlib foundation)
  # The shipped program carries no symbols or debug sections (the static
  # runtime libraries bring theirs).
  target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
endfunction()

setup_program(setup ${setup_payload})
add_dependencies(setup setup_payload)
