# The licence page benchmark reads its licence from its own resources:
# licence_bench carries the sample's, licence_bench_large one of about 6 MB
# generated from it (bench/large_licence.py).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_licence_bench_dir ${CMAKE_BINARY_DIR}/bench/licence)
set(_licence_large ${_licence_bench_dir}/licence_large.rtf)
add_custom_command(OUTPUT ${_licence_large}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/large_licence.py
          ${CMAKE_SOURCE_DIR}/resources/licence.rtf ${_licence_large}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/large_licence.py ${CMAKE_SOURCE_DIR}/resources/licence.rtf
  COMMENT "Generating the long licence of the licence page benchmark")

add_executable(licence_bench_large EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/licence_bench.cpp
  $<TARGET_OBJECTS:stringtable>)
target_link_libraries(licence_bench_large PRIVATE ${bench_libs_licence_bench})
set_target_properties(licence_bench_large PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(benchmarks licence_bench_large)

foreach(_pair "licence_bench;${CMAKE_SOURCE_DIR}/resources/licence.rtf" "licence_bench_large;${_licence_large}")
  list(GET _pair 0 _target)
  list(GET _pair 1 _rtf)
  set(_rc ${_licence_bench_dir}/${_target}.rc)
  file(WRITE ${_rc} "LICENCE_TEXT RCDATA \"${_rtf}\"\nLEFT_IMG RCDATA \"${CMAKE_SOURCE_DIR}/resources/left.bmp\"\n")
  set_source_files_properties(${_rc} PROPERTIES OBJECT_DEPENDS ${_rtf})
  target_sources(${_target} PRIVATE ${_rc} ${CMAKE_SOURCE_DIR}/classlib/manifest.rc)
endforeach()
