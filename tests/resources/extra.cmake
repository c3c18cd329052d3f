# This test program carries its own small archive as ("PCK", "FILES") and a
# loose "flx" resource, made at build time the way zumbrix carries its data.
set(res_dir ${PROJECT_SOURCE_DIR}/tests/data-files/resources)
set(res_archive ${CMAKE_CURRENT_BINARY_DIR}/resources_test.pck)
add_custom_command(
    OUTPUT ${res_archive}
    COMMAND mirel_boot pack ${res_archive} ${res_dir}/member.txt ${res_dir}/loose.dat
    DEPENDS mirel_boot ${res_dir}/member.txt ${res_dir}/loose.dat
    VERBATIM)
add_custom_target(resources_test_archive DEPENDS ${res_archive})
add_dependencies(${test_target} resources_test_archive)
zumbrix_embed(${test_target} RESOURCES PCK FILES ${res_archive} flx looSEdat ${res_dir}/loose.dat
    DEPENDS ${res_archive})
