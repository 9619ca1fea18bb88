# The small tmpfs disks that some Windows tests use (see small-disks.sh), as a CTest fixture.
# A test folder's extra.cmake includes this file and calls zav_use_small_disks(${name}).
include_guard(GLOBAL)

set(ZAV_SMALL_DISKS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/small-disks.sh)
set(ZAV_SMALL_DISKS_DIR ${CMAKE_BINARY_DIR}/wine/smalldisks)
add_test(NAME small_disks_mount COMMAND ${ZAV_SMALL_DISKS_SCRIPT} mount ${ZAV_SMALL_DISKS_DIR})
add_test(NAME small_disks_unmount COMMAND ${ZAV_SMALL_DISKS_SCRIPT} unmount ${ZAV_SMALL_DISKS_DIR})
set_tests_properties(small_disks_mount PROPERTIES FIXTURES_SETUP small_disks TIMEOUT 60)
set_tests_properties(small_disks_unmount PROPERTIES FIXTURES_CLEANUP small_disks TIMEOUT 60)

function(zav_use_small_disks test)
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED small_disks)
endfunction()
