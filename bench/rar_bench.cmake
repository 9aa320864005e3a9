# The extraction benchmark reads the generated payload (bench/bench_payload.py,
# packed with Debian's rar tool into <build>/bench/bench_payload.rar, which
# setup_bench.sh uses too) and extracts it both with our code and with the RAR
# library's own interface (the library comes with `installer`).
find_program(SETUP_RAR_TOOL rar REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_bench_payload ${CMAKE_BINARY_DIR}/bench/bench_payload.rar)
add_custom_command(OUTPUT ${_bench_payload}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/bench_payload.py ${_bench_payload} ${SETUP_RAR_TOOL}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench_payload.py
  COMMENT "Generating the benchmark payload bench_payload.rar")
add_custom_target(bench_payload DEPENDS ${_bench_payload})
add_dependencies(rar_bench bench_payload)
target_compile_definitions(rar_bench PRIVATE "BENCH_PAYLOAD_RAR=\"${_bench_payload}\"")
