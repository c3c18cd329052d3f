# The scene tests compare combiner set-ups with the CPU combiner model of the
# NV tests, and play scenes on the demo tests' demo window.
target_sources(${test_target} PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/nv/CombinerReference.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/demo/DemoTestSupport.cpp)
