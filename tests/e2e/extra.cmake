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

target_link_libraries(${target} PRIVATE e2edriver shlwapi)
add_dependencies(${target} setup zavdriver openrecorder zavarchive)
if(TARGET Zav)
    add_dependencies(${target} Zav)
endif()
