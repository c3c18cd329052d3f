# The scenes the allocation test plays are built with the scene tests' helpers.
target_sources(${test_target} PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/scene/SceneTestSupport.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/scene/SceneScenes.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/demo/DemoTestSupport.cpp)
