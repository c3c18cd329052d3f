# The end-to-end test reads the contact sheet (a palette PNG) with libpng.
target_link_libraries(${test_target} PRIVATE PNG::PNG)
