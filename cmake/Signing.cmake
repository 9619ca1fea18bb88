# Optional Authenticode signing of the shipped modules with osslsigncode. A vendor passes a
# PKCS#12 file (certificate chain and key) and a file that holds its password at configure
# time; without them the build is unsigned. Neither ever belongs in the source tree.
set(ZAV_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file whose certificate signs setup.exe, UnzDll.dll and Zav.exe; empty: unsigned")
set(ZAV_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the password of ZAV_SIGN_PKCS12")
set(ZAV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures; empty: none")

if(ZAV_SIGN_PKCS12)
    if(NOT EXISTS "${ZAV_SIGN_PKCS12}")
        message(FATAL_ERROR "ZAV_SIGN_PKCS12: no file ${ZAV_SIGN_PKCS12}")
    endif()
    if(NOT ZAV_SIGN_PASSWORD_FILE OR NOT EXISTS "${ZAV_SIGN_PASSWORD_FILE}")
        message(FATAL_ERROR "ZAV_SIGN_PKCS12 needs ZAV_SIGN_PASSWORD_FILE, a file holding its password")
    endif()
    find_program(ZAV_OSSLSIGNCODE osslsigncode REQUIRED)
endif()

# Every signed module links again when the signing settings change, so that switching them
# on or off never leaves a module signed the old way.
set(ZAV_SIGNING_STAMP ${CMAKE_BINARY_DIR}/signing-settings.txt)
file(CONFIGURE OUTPUT ${ZAV_SIGNING_STAMP}
    CONTENT "${ZAV_SIGN_PKCS12}\n${ZAV_SIGN_PASSWORD_FILE}\n${ZAV_SIGN_TIMESTAMP_URL}\n")

# zav_sign(TARGET): signs TARGET's file in place right after it is linked, before anything
# uses it (the payload embeds the signed library, the archive packs the signed launcher).
function(zav_sign target)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ZAV_SIGNING_STAMP})
    if(NOT ZAV_SIGN_PKCS12)
        return()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ZAV_SIGN_PKCS12})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/sign.sh ${ZAV_OSSLSIGNCODE} ${ZAV_SIGN_PKCS12}
                ${ZAV_SIGN_PASSWORD_FILE} "${ZAV_PRODUCT_VERSION_NAME}" $<TARGET_FILE:${target}>
                ${ZAV_SIGN_TIMESTAMP_URL}
        COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
        VERBATIM)
endfunction()
