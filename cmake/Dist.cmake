# cmake -DEXE=<release exe> -DSAVER=<the screensaver it carries> -DDIST=<folder>
#       [-DSIGN_PKCS12=<key> [-DSIGN_TIMESTAMP_URL=<url>] -DSIGN_NOTE=<file>]
#       -P Dist.cmake
# Copies the release executable into DIST and writes its SHA-256 beside it in
# the form `sha256sum -c` reads. Given a key, DIST gets the executable signed
# with it (cmake/sign.sh, password from VELMORA_SIGN_PASSWORD) and a copy of
# the screensaver, which the cross build signed before the executable carried
# it; the checksum is that of the signed file. SIGN_NOTE records what was
# signed last, so that an unchanged executable is not signed again.
get_filename_component(name ${EXE} NAME)
get_filename_component(saver_name ${SAVER} NAME)
file(MAKE_DIRECTORY ${DIST})
if(SIGN_PKCS12)
    # What was signed, with what, and the signed result.
    file(SHA256 ${EXE} exe_digest)
    file(SHA256 ${SIGN_PKCS12} key_digest)
    set(signing "${exe_digest} ${key_digest} ${SIGN_TIMESTAMP_URL}")
    set(last_note "")
    set(dist_digest "")
    if(EXISTS ${SIGN_NOTE} AND EXISTS ${DIST}/${name})
        file(READ ${SIGN_NOTE} last_note)
        file(SHA256 ${DIST}/${name} dist_digest)
    endif()
    if(NOT last_note STREQUAL "${signing} ${dist_digest}\n")
        file(REMOVE ${SIGN_NOTE})
        execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/sign.sh ${SIGN_PKCS12}
                ${EXE} ${DIST}/${name} ${SIGN_TIMESTAMP_URL}
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "dist: signing ${EXE} with ${SIGN_PKCS12} failed")
        endif()
        file(SHA256 ${DIST}/${name} dist_digest)
        file(WRITE ${SIGN_NOTE} "${signing} ${dist_digest}\n")
    endif()
    file(COPY_FILE ${SAVER} ${DIST}/${saver_name} ONLY_IF_DIFFERENT)
    message(STATUS "dist: signed with ${SIGN_PKCS12} (${name}, and ${saver_name} as carried)")
else()
    file(REMOVE ${DIST}/${saver_name})
    file(COPY_FILE ${EXE} ${DIST}/${name} ONLY_IF_DIFFERENT)
    message(STATUS "dist: unsigned (no signing key given)")
endif()
file(SHA256 ${DIST}/${name} digest)
file(WRITE ${DIST}/${name}.sha256 "${digest}  ${name}\n")
message(STATUS "${DIST}/${name}: SHA-256 ${digest}")
