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
  set(setup_payload_folders ${SETUP_RESOURCE_DIR}/payload)
  set(setup_payload_programs)
  # The sample's configuration starts programs of its product, which the
  # repository does not keep as files: small stand-ins are built under their
  # names and packed beside the sample's payload folder.
  get_filename_component(setup_resource_real ${SETUP_RESOURCE_DIR} REALPATH)
  get_filename_component(setup_sample_real ${CMAKE_SOURCE_DIR}/resources REALPATH)
  if(setup_resource_real STREQUAL setup_sample_real)
    set(setup_sample_programs_dir ${setup_gen_dir}/sample-programs)
    foreach(program RequestDesk RequestDeskAgent Uninstall)
      add_executable(sample_${program} WIN32 ${CMAKE_SOURCE_DIR}/resources/sample_program.cpp)
      target_link_libraries(sample_${program} PRIVATE foundation)
      target_link_options(sample_${program} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
      set_target_properties(sample_${program} PROPERTIES
        OUTPUT_NAME ${program} RUNTIME_OUTPUT_DIRECTORY ${setup_sample_programs_dir})
      list(APPEND setup_payload_programs sample_${program})
    endforeach()
    list(APPEND setup_payload_folders ${setup_sample_programs_dir})
  endif()
  # The listing of the payload folder (names, sizes, times) is taken at every
  # build and rewritten only when it changed; the archive is packed again
  # whenever the listing is newer, so a deleted, renamed or older-dated file
  # counts as a change as much as an edited one.
  set(setup_payload_listing ${setup_gen_dir}/payload.listing)
  add_custom_target(setup_payload_listing
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py
            --manifest ${setup_payload_listing} ${SETUP_RESOURCE_DIR}/payload
    BYPRODUCTS ${setup_payload_listing}
    VERBATIM)
  add_custom_command(
    OUTPUT ${setup_payload}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py ${setup_payload_folders} ${setup_payload}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/rar4pack.py ${setup_payload_listing} ${setup_payload_programs}
    COMMENT "Packing the payload into payload.rar"
    VERBATIM)
else()
  message(FATAL_ERROR "setup: ${SETUP_RESOURCE_DIR} has neither payload.rar nor a payload folder")
endif()
add_custom_target(setup_payload DEPENDS ${setup_payload})
if(TARGET setup_payload_listing)
  add_dependencies(setup_payload setup_payload_listing)
endif()

set(SETUP_RC_PAYLOAD ${setup_payload})
set(SETUP_RC_LICENCE ${SETUP_RESOURCE_DIR}/licence.rtf)
set(SETUP_RC_BACKGROUND ${SETUP_RESOURCE_DIR}/background.jpg)
set(SETUP_RC_LEFT ${SETUP_RESOURCE_DIR}/left.bmp)

# add_setup_program(<target> <folder> <config> [<payload> [<licence>]]): a
# setup program that carries the configuration document <config>, the payload
# archive <payload> and the licence <licence> (default: the vendor's) and the
# vendor's other resources; its resource script is generated in <folder>. The
# tests make variants this way.
function(add_setup_program target folder config)
  set(SETUP_RC_CONFIG ${config})
  if(ARGC GREATER 3)
    set(SETUP_RC_PAYLOAD ${ARGV3})
  endif()
  if(ARGC GREATER 4)
    set(SETUP_RC_LICENCE ${ARGV4})
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/resources/setup.rc.in ${folder}/setup.rc @ONLY)
  set_source_files_properties(${folder}/setup.rc PROPERTIES
    OBJECT_DEPENDS "${config};${setup_res_files};${SETUP_RC_PAYLOAD};${SETUP_RC_LICENCE}")
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
