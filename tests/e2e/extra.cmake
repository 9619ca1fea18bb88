# The end-to-end tests drive the built setup.exe from outside through a driver library,
# which also makes the console driver that the benchmark uses.
add_library(e2edriver STATIC ${CMAKE_CURRENT_LIST_DIR}/driver/SetupDriver.cpp)
target_include_directories(e2edriver PUBLIC ${CMAKE_CURRENT_LIST_DIR}/driver)
target_link_libraries(e2edriver PUBLIC user32 kernel32)

add_executable(zavdriver ${CMAKE_CURRENT_LIST_DIR}/driver/DriverMain.cpp)
target_link_libraries(zavdriver PRIVATE e2edriver shell32)
set_target_properties(zavdriver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

# What the tests make the shell open text files with.
add_executable(openrecorder ${CMAKE_CURRENT_LIST_DIR}/recorder/OpenRecorder.cpp)
set_target_properties(openrecorder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

# What the tests plant beside setup.exe under the name of a library it loads.
add_library(planted SHARED ${CMAKE_CURRENT_LIST_DIR}/planted/Planted.cpp)
set_target_properties(planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

target_link_libraries(${target} PRIVATE e2edriver shlwapi)
add_dependencies(${target} setup zavdriver openrecorder zavarchive planted)
if(TARGET Zav)
    add_dependencies(${target} Zav)
endif()

# The real setup.exe runs in a Wine session of its own: a fresh prefix copied from the
# template, its own display and wineserver, so nothing the other tests did can reach it.
set(ZAV_E2E_SESSION ${ZAV_WINE_DIR}/e2e-session)
add_test(NAME e2e_session_start
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../support/wine-session.sh start ${ZAV_E2E_SESSION} ${ZAV_WINE_TEMPLATE})
add_test(NAME e2e_session_stop
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../support/wine-session.sh stop ${ZAV_E2E_SESSION})
set_tests_properties(e2e_session_start PROPERTIES FIXTURES_SETUP wine_e2e TIMEOUT 300
    SKIP_RETURN_CODE ${ZAV_WINE_SKIP_CODE})
set_tests_properties(e2e_session_stop PROPERTIES FIXTURES_CLEANUP wine_e2e)
set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_e2e
    ENVIRONMENT "ZAV_WINE_SESSION=${ZAV_E2E_SESSION}")
