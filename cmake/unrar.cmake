# The RAR library, built from the unpacked source in third_party/unrar (never
# edited there) with our stream binding applied to a copy in the build folder.
# The binding also keeps, for an archive read from a stream, the file header
# that the library reads ahead after each extracted file, so that the next
# header call does not read it a second time.
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
  ${UNRAR_PATCH} ${UNRAR_PRISTINE_DIR}/dll.cpp ${UNRAR_PRISTINE_DIR}/file.cpp ${UNRAR_PRISTINE_DIR}/os.hpp)

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
  target_sources(${target} PRIVATE ${UNRAR_COMPAT_DIR}/comutil_compat.cpp)
  target_include_directories(${target} PRIVATE ${UNRAR_COMPAT_DIR} ${UNRAR_SRC_DIR})
  target_compile_definitions(${target} PRIVATE UNRAR)
  target_compile_options(${target} PRIVATE -w)
  target_link_libraries(${target} PUBLIC shlwapi powrprof ole32 oleaut32 wbemuuid advapi32 shell32 user32)
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

# The extraction tests find the shared test archives (shared/testdata beside
# the repository, unless the cache says otherwise) through SETUP_TESTDATA_DIR.
# installer_tests is made later, in tests/, so this runs when the root folder
# is done.
get_filename_component(_setup_testdata_default ${CMAKE_SOURCE_DIR}/../shared/testdata ABSOLUTE)
set(SETUP_TESTDATA_DIR ${_setup_testdata_default} CACHE PATH "Folder of the shared test data")
function(unrar_test_settings)
  if(TARGET installer_tests)
    target_compile_definitions(installer_tests PRIVATE "SETUP_TESTDATA_DIR=\"${SETUP_TESTDATA_DIR}\"")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL unrar_test_settings)
