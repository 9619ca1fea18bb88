# Size texts: portable, built here too.
target_sources(native_tests PRIVATE ${CMAKE_SOURCE_DIR}/install/display/SizeText.cpp)
