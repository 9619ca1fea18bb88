# test_engine needs the built library, archive and launcher, and three stand-in unzip
# libraries (one source, different export tables) in tests/fakes.
add_dependencies(${target} UnzDll zavarchive Zav)
foreach(fake RecordingUnzip NoExecUnzip NoVersionUnzip)
    add_library(${fake} SHARED ${CMAKE_CURRENT_LIST_DIR}/fakes/FakeUnzip.cpp ${CMAKE_CURRENT_LIST_DIR}/fakes/${fake}.def)
    set_target_properties(${fake} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/fakes
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/fakes)
    add_dependencies(${target} ${fake})
endforeach()
# A write that runs out of space is tried on one of the small disks.
include(${CMAKE_CURRENT_LIST_DIR}/../support/small-disks.cmake)
zav_use_small_disks(${name})
