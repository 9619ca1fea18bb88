# Extra settings for test_unzip, included by tests/CMakeLists.txt after the
# target is defined. The tests load UnzDll.dll at run time from the build
# folder, so it must be built first; the ZIP writer they share with the
# native tests needs zlib (static, like the DLL).
add_dependencies(test_unzip UnzDll)
target_link_libraries(test_unzip PRIVATE unzdll_headers "${UNZ_ZLIB_STATIC}")
target_include_directories(test_unzip PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../native)
# The double-byte test needs the ANSI code page 932, which Wine takes from the
# Unix locale; the locale is compiled into the build tree and the test's own
# entry sets it, so no run depends on the machine's locales.
set(UNZT_LOCALES ${CMAKE_BINARY_DIR}/locale)
add_custom_command(OUTPUT ${UNZT_LOCALES}/ja_JP.UTF-8/LC_CTYPE
    COMMAND ${CMAKE_COMMAND} -E make_directory ${UNZT_LOCALES}/ja_JP.UTF-8
    COMMAND localedef -c -i ja_JP -f UTF-8 ${UNZT_LOCALES}/ja_JP.UTF-8 VERBATIM)
add_custom_target(unzt_locale DEPENDS ${UNZT_LOCALES}/ja_JP.UTF-8/LC_CTYPE)
add_dependencies(test_unzip unzt_locale)
add_test(NAME unzip_cp932 COMMAND test_unzip --gtest_filter=UnzipDll.TargetEndingInATrailByteBackslash)
set_tests_properties(unzip_cp932 PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK wine_prefix
    TIMEOUT 300
    SKIP_RETURN_CODE ${ZAV_WINE_SKIP_CODE}
    ENVIRONMENT "ZAV_WINE_SESSION=${ZAV_WINE_SESSION};LOCPATH=${UNZT_LOCALES};LC_ALL=ja_JP.UTF-8;UNZT_CP932=1")
