# Tests of this folder use the small tmpfs disks.
include(${CMAKE_CURRENT_LIST_DIR}/../support/small-disks.cmake)
zav_use_small_disks(${name})
