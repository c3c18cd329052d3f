# The music tests decode MP3 files made by our own soundtrack generator.
add_dependencies(${test_target} gen_soundtrack)
target_compile_definitions(${test_target} PRIVATE GEN_SOUNDTRACK_PATH="$<TARGET_FILE:gen_soundtrack>")
# ... and check the demo's own soundtrack as the build made it.
add_dependencies(${test_target} zumbrix_music)
