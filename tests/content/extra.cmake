# The content generators' shared code is tested directly.
target_link_libraries(${test_target} PRIVATE zumbrix_gen)
