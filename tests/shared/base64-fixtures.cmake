# test_base64 compares with coreutils encodings committed under
# fixtures/base64 (tools/gen-base64-fixtures.py makes them). The test runs
# under Wine, which shows the Linux root as drive Z:.
target_compile_definitions(test_base64 PRIVATE
    QUILLET_BASE64_FIXTURES="Z:${CMAKE_CURRENT_LIST_DIR}/fixtures/base64/")
