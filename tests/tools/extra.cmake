# The picture helpers of mirel's scene importer are tested directly.
target_sources(${test_target} PRIVATE ${PROJECT_SOURCE_DIR}/tools/mirel/ScenePictures.cpp)
