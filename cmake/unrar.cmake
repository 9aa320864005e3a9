# The RAR library, built from the unpacked source in third_party/unrar (never
# edited there) with our stream binding applied to a copy in the build folder.
# The binding also keeps, for an archive read from a stream, the file header
# that the library reads ahead after each extracted file, so that the next
# header call does not read it a second time. A file write that the system
# takes only in part is written on until it fails (a write that takes nothing
# and answers success fails with ERROR_WRITE_FAULT), and the system's error
# code of a file that could not be created or written is kept: RARProcessFileW
# leaves it as the last error with ERAR_ECREATE and ERAR_EWRITE. A call of ours
# gives the current entry's name in full (RARGetFileNameW).
#
#   unrar       static library of the DLL sources (RARDLL, SILENT, one thread);
#               `installer` links it. Its public include folder offers the
#               library's interface as "unrar/dll.hpp"; the stream open call is
#               declared in installer/RarStream.h.
#   unrar_cli   the library's own command-line extractor from the same source
#               (EXCLUDE_FROM_ALL; the extraction benchmark builds it).
#
# Included from the root CMakeLists.txt after the setup_library() calls.

set(UNRAR_PRISTINE_DIR ${CMAKE_SOURCE_DIR}/third_party/unrar)
set(UNRAR_PATCH ${CMAKE_CURRENT_LIST_DIR}/unrar-stream.patch)
set(UNRAR_COMPAT_DIR ${CMAKE_CURRENT_LIST_DIR}/unrar-compat)
# The copy lives in <build>/unrar-src/unrar so that the public include folder
# exposes its headers only under the "unrar/" prefix.
set(UNRAR_INCLUDE_DIR ${CMAKE_BINARY_DIR}/unrar-src)
set(UNRAR_SRC_DIR ${UNRAR_INCLUDE_DIR}/unrar)

if(NOT EXISTS ${UNRAR_PRISTINE_DIR}/dll.hpp)
  message(FATAL_ERROR "unrar: ${UNRAR_PRISTINE_DIR} is missing; run scripts/bootstrap")
endif()

# A new copy whenever the patch or this file changes.
file(SHA256 ${UNRAR_PATCH} _unrar_patch_hash)
file(SHA256 ${CMAKE_CURRENT_LIST_FILE} _unrar_cmake_hash)
set(_unrar_stamp "${_unrar_patch_hash} ${_unrar_cmake_hash}")
set(_unrar_stamp_file ${UNRAR_SRC_DIR}/.patched)
set(_unrar_old_stamp "")
if(EXISTS ${_unrar_stamp_file})
  file(READ ${_unrar_stamp_file} _unrar_old_stamp)
endif()
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${UNRAR_PATCH} ${UNRAR_PRISTINE_DIR}/dll.cpp ${UNRAR_PRISTINE_DIR}/errhnd.cpp ${UNRAR_PRISTINE_DIR}/errhnd.hpp
  ${UNRAR_PRISTINE_DIR}/file.cpp ${UNRAR_PRISTINE_DIR}/file.hpp ${UNRAR_PRISTINE_DIR}/os.hpp)

if(NOT _unrar_old_stamp STREQUAL _unrar_stamp)
  message(STATUS "unrar: preparing the patched source in ${UNRAR_SRC_DIR}")
  file(REMOVE_RECURSE ${UNRAR_SRC_DIR})
  file(MAKE_DIRECTORY ${UNRAR_SRC_DIR})
  file(GLOB _unrar_files ${UNRAR_PRISTINE_DIR}/*.cpp ${UNRAR_PRISTINE_DIR}/*.hpp)
  file(COPY ${_unrar_files} DESTINATION ${UNRAR_SRC_DIR})

  find_program(PATCH_EXECUTABLE patch REQUIRED)
  execute_process(
    COMMAND ${PATCH_EXECUTABLE} -p1 --batch --forward --no-backup-if-mismatch -i ${UNRAR_PATCH}
    WORKING_DIRECTORY ${UNRAR_SRC_DIR}
    RESULT_VARIABLE _unrar_rc OUTPUT_VARIABLE _unrar_out ERROR_VARIABLE _unrar_out)
  if(NOT _unrar_rc EQUAL 0)
    message(FATAL_ERROR "unrar: ${UNRAR_PATCH} does not apply:\n${_unrar_out}")
  endif()

  # The library turns its worker threads on for every Windows build; we run
  # it on the UI thread alone.
  file(READ ${UNRAR_SRC_DIR}/os.hpp _unrar_os)
  set(_unrar_smp "#if !defined(ZIPSFX)\n#define RAR_SMP\n#endif\n")
  string(FIND "${_unrar_os}" "${_unrar_smp}" _unrar_at)
  if(_unrar_at LESS 0)
    message(FATAL_ERROR "unrar: os.hpp no longer switches RAR_SMP on as expected")
  endif()
  string(REPLACE "${_unrar_smp}" "" _unrar_os "${_unrar_os}")
  file(WRITE ${UNRAR_SRC_DIR}/os.hpp "${_unrar_os}")

  file(WRITE ${_unrar_stamp_file} "${_unrar_stamp}")
endif()

# Source lists of the library's own project files: the DLL, and the console
# extractor (which adds list, recovery volumes and resources, and drops dll).
set(_unrar_common
  archive arcread blake2s cmddata consio crc crypt encname errhnd extinfo extract
  filcreat file filefn filestr find getbits global hash headers isnt match options
  pathfn qopen rar rarpch rarvm rawread rdwrfn rijndael rs rs16 scantree secpassword
  sha1 sha256 smallfn strfn strlist system threadpool timefn ui unicode unpack volume)
set(UNRAR_LIB_SOURCES ${_unrar_common} dll)
set(UNRAR_CLI_SOURCES ${_unrar_common} list recvol resource)
list(TRANSFORM UNRAR_LIB_SOURCES PREPEND ${UNRAR_SRC_DIR}/)
list(TRANSFORM UNRAR_LIB_SOURCES APPEND .cpp)
list(TRANSFORM UNRAR_CLI_SOURCES PREPEND ${UNRAR_SRC_DIR}/)
list(TRANSFORM UNRAR_CLI_SOURCES APPEND .cpp)

# Settings both builds share. The library's headers include our var_a.h and
# VxStream.h through the project root, which is on every target's path. It is
# third-party code: its own warnings are not ours to fix.
function(unrar_settings target)
  target_sources(${target} PRIVATE ${UNRAR_COMPAT_DIR}/comutil_compat.cpp ${UNRAR_COMPAT_DIR}/powrprof_compat.cpp)
  target_include_directories(${target} PRIVATE ${UNRAR_COMPAT_DIR} ${UNRAR_SRC_DIR})
  target_compile_definitions(${target} PRIVATE UNRAR)
  target_compile_options(${target} PRIVATE -w)
  target_link_libraries(${target} PUBLIC shlwapi ole32 oleaut32 wbemuuid advapi32 shell32 user32)
endfunction()

add_library(unrar STATIC ${UNRAR_LIB_SOURCES})
unrar_settings(unrar)
target_compile_definitions(unrar PRIVATE RARDLL SILENT)
target_include_directories(unrar PUBLIC ${UNRAR_INCLUDE_DIR})

add_executable(unrar_cli EXCLUDE_FROM_ALL ${UNRAR_CLI_SOURCES})
unrar_settings(unrar_cli)
set_target_properties(unrar_cli PROPERTIES OUTPUT_NAME unrar
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/unrar-cli)

# `installer` is an interface library while its folder holds no source yet.
get_target_property(_unrar_installer_type installer TYPE)
if(_unrar_installer_type STREQUAL "INTERFACE_LIBRARY")
  target_link_libraries(installer INTERFACE unrar)
else()
  target_link_libraries(installer PUBLIC unrar)
endif()

# The extraction tests' archives: those of the libarchive project's test suite,
# which scripts/bootstrap decodes into third_party/testdata/rar, and RAR 5 ones
# the build makes with Debian's rar tool (tests/installer/make_test_archives.py)
# in <build>/testdata/rar. The tests find them through SETUP_TESTDATA_DIR and
# SETUP_BUILT_TESTDATA_DIR. installer_tests and wizard_tests are made later, in
# tests/, so this runs when the root folder is done.
set(SETUP_TESTDATA_DIR ${CMAKE_SOURCE_DIR}/third_party/testdata)
set(SETUP_BUILT_TESTDATA_DIR ${CMAKE_BINARY_DIR}/testdata)
function(unrar_test_settings)
  if(NOT TARGET installer_tests)
    return()
  endif()
  find_program(SETUP_RAR_TOOL rar REQUIRED)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(script ${CMAKE_SOURCE_DIR}/tests/installer/make_test_archives.py)
  set(dir ${SETUP_BUILT_TESTDATA_DIR}/rar)
  set(archives ${dir}/rar5_cyrillic.rar ${dir}/rar5_solid.rar ${dir}/rar5_deep.rar ${dir}/rar5_too_deep.rar)
  add_custom_command(OUTPUT ${archives}
    COMMAND ${Python3_EXECUTABLE} ${script} ${dir} ${SETUP_RAR_TOOL}
    DEPENDS ${script}
    COMMENT "Making the tests' RAR 5 archives")
  add_custom_target(test_archives DEPENDS ${archives})
  foreach(tests installer_tests wizard_tests)
    if(TARGET ${tests})
      add_dependencies(${tests} test_archives)
      target_compile_definitions(${tests} PRIVATE "SETUP_TESTDATA_DIR=\"${SETUP_TESTDATA_DIR}\""
        "SETUP_BUILT_TESTDATA_DIR=\"${SETUP_BUILT_TESTDATA_DIR}\"")
      # tests/installer/extract_test.rc carries unicode.rar by its name.
      target_include_directories(${tests} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${SETUP_TESTDATA_DIR}/rar>)
    endif()
  endforeach()
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/tests/installer/extract_test.rc DIRECTORY ${CMAKE_SOURCE_DIR}/tests
    APPEND PROPERTY OBJECT_DEPENDS ${SETUP_TESTDATA_DIR}/rar/unicode.rar)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL unrar_test_settings)
