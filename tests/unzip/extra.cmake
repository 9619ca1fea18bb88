# Extra settings for test_unzip, included by tests/CMakeLists.txt after the
# target is defined. The tests load UnzDll.dll at run time from the build
# folder, so it must be built first; the ZIP writer they share with the
# native tests needs zlib (static, like the DLL).
add_dependencies(test_unzip UnzDll)
target_link_libraries(test_unzip PRIVATE unzdll_headers "${UNZ_ZLIB_STATIC}")
target_include_directories(test_unzip PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../native)
