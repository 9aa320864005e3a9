# The installer program setup.exe, built with the vendor's resources from
# SETUP_RESOURCE_DIR: config.x-ini, licence.rtf, background.jpg, left.bmp and
# the payload, either a ready payload.rar or a folder payload/ that is packed
# here into a stored RAR 4 archive.

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

set(SETUP_RC_PAYLOAD ${setup_payload})
set(SETUP_RC_LICENCE ${SETUP_RESOURCE_DIR}/licence.rtf)
set(SETUP_RC_BACKGROUND ${SETUP_RESOURCE_DIR}/background.jpg)
set(SETUP_RC_LEFT ${SETUP_RESOURCE_DIR}/left.bmp)

# add_setup_program(<target> <folder> <config> [<payload>]): a setup program
# that carries the configuration document <config>, the payload archive
# <payload> (default: the vendor's) and the vendor's other resources; its
# resource script is generated in <folder>. The tests make variants this way.
function(add_setup_program target folder config)
  set(SETUP_RC_CONFIG ${config})
  if(ARGC GREATER 3)
    set(SETUP_RC_PAYLOAD ${ARGV3})
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/resources/setup.rc.in ${folder}/setup.rc @ONLY)
  set_source_files_properties(${folder}/setup.rc PROPERTIES
    OBJECT_DEPENDS "${config};${setup_res_files};${SETUP_RC_PAYLOAD}")
  # windres reads the manifest that manifest.rc names; CMake's scan of the
  # script does not see it.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/classlib/manifest.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/classlib/setup.manifest)
  add_executable(${target} WIN32
    ${CMAKE_SOURCE_DIR}/installer/main.cpp
    ${folder}/setup.rc
    ${CMAKE_SOURCE_DIR}/classlib/manifest.rc
    $<TARGET_OBJECTS:stringtable>)
  add_dependencies(${target} setup_payload)
  target_link_libraries(${target} PRIVATE installer_main wizard installer visual xini classlib foundation)
  # The shipped program carries no symbols or debug sections (the static
  # runtime libraries bring theirs).
  target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
  # Sections start on page boundaries in the file as in memory, so that the
  # loader can map the image as it lies and the payload in the resources is
  # paged in as the extraction reads it. With the usual 512-byte alignment
  # Wine reads the whole image, payload included, into memory before the
  # program starts.
  target_link_options(${target} PRIVATE -Wl,--file-alignment,4096)
endfunction()

add_setup_program(setup ${setup_gen_dir} ${SETUP_RESOURCE_DIR}/config.x-ini)
