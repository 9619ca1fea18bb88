# Extra settings for test_unzip, included by tests/CMakeLists.txt after the
# target is defined. The tests load UnzDll.dll at run time from the build
# folder, so it must be built first; the ZIP writer they share with the
# native tests needs zlib (static, like the DLL).
add_dependencies(test_unzip UnzDll)
target_link_libraries(test_unzip PRIVATE unzdll_headers "${UNZ_ZLIB_STATIC}")
target_include_directories(test_unzip PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../native)
# The code page 932 test runs under a Japanese Unix locale, compiled into the
# build tree so that it never depends on the machine's own locales.
set(UNZT_LOCALE ${CMAKE_BINARY_DIR}/locale/ja_JP.UTF-8)
add_custom_command(OUTPUT ${UNZT_LOCALE}/LC_CTYPE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${UNZT_LOCALE}
    COMMAND localedef -c -i ja_JP -f UTF-8 ${UNZT_LOCALE} VERBATIM)
add_custom_target(unzt_locale DEPENDS ${UNZT_LOCALE}/LC_CTYPE)
add_dependencies(test_unzip unzt_locale)
