# The extraction benchmark reads the payload of the shared test data and runs
# the RAR library's own extractor, built from the same source, as its baseline.
add_dependencies(rar_bench unrar_cli)
target_compile_definitions(rar_bench PRIVATE
  "SETUP_TESTDATA_DIR=\"${SETUP_TESTDATA_DIR}\""
  "UNRAR_CLI_EXE=\"$<TARGET_FILE:unrar_cli>\"")
