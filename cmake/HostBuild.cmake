# Native side: build-time tools, native tests, benchmark, and the two
# Windows cross builds of this same tree as external projects.
include(ExternalProject)
enable_testing()

find_package(GTest REQUIRED)
# The system's Python, whose Debian packages (python3-pefile) the tests use.
find_program(VELMORA_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)

# The picture the program carries, as committed.
set(VELMORA_BACKGROUND_PPM ${CMAKE_SOURCE_DIR}/src/data/background.ppm)

add_subdirectory(tools)
add_subdirectory(tests/native)
add_subdirectory(bench)

# The Windows-side and end-to-end tests run the program people download, the
# i686 build, wherever this machine can: a kernel that executes 32-bit code
# and Debian's 32-bit Wine. Elsewhere the x86_64 build of the same sources
# stands in under 64-bit Wine.
execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/kernel-runs-i386.sh
    RESULT_VARIABLE runs_i386 OUTPUT_QUIET ERROR_QUIET)
if(NOT runs_i386 EQUAL 0)
    set(test_arch_reason "i686 not run: this kernel cannot execute 32-bit code")
elseif(NOT EXISTS /usr/lib/wine/wine)
    set(test_arch_reason "i686 not run: 32-bit Wine (wine32:i386) is not installed")
endif()
if(test_arch_reason)
    set(VELMORA_TEST_ARCH x86_64)
    message(STATUS "${test_arch_reason}; the x86_64 builds run under 64-bit Wine instead")
else()
    set(VELMORA_TEST_ARCH i686)
    message(STATUS "Windows-side and end-to-end tests run the i686 builds under 32-bit Wine")
endif()
set(VELMORA_TEST_ARCH_NOTE "${test_arch_reason}" CACHE INTERNAL "")
set(VELMORA_TEST_ARCH ${VELMORA_TEST_ARCH} CACHE INTERNAL "")

# Release signing (see dist below): the key's path, made absolute here, and
# the time-stamping URL go to both cross builds.
set(VELMORA_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 code-signing key (password: VELMORA_SIGN_PASSWORD in the build's environment)")
set(VELMORA_SIGN_TIMESTAMP_URL "" CACHE STRING "Authenticode time-stamping URL for signed builds")
if(VELMORA_SIGN_PKCS12 AND NOT EXISTS ${VELMORA_SIGN_PKCS12})
    message(FATAL_ERROR "VELMORA_SIGN_PKCS12: no such file: ${VELMORA_SIGN_PKCS12}")
endif()

set(VELMORA_WINDOWS_ARCHES i686 x86_64)
foreach(arch IN LISTS VELMORA_WINDOWS_ARCHES)
    if(arch STREQUAL VELMORA_TEST_ARCH)
        set(with_tests ON)
    else()
        set(with_tests OFF)
    endif()
    ExternalProject_Add(windows-${arch}
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
            -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
            -DVELMORA_RLD_ENCODE=$<TARGET_FILE:rld_encode>
            -DVELMORA_PAYLOAD_EMBED=$<TARGET_FILE:payload_embed>
            -DVELMORA_WINDOWS_TESTS=${with_tests}
            -DVELMORA_SIGN_PKCS12=${VELMORA_SIGN_PKCS12}
            -DVELMORA_SIGN_TIMESTAMP_URL=${VELMORA_SIGN_TIMESTAMP_URL}
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        DEPENDS rld_encode payload_embed
        USES_TERMINAL_BUILD ON)
    set(VELMORA_WINDOWS_${arch}_DIR ${CMAKE_BINARY_DIR}/windows-${arch})
endforeach()

# The release: the i686 installer and its SHA-256 checksum in dist/. Given a
# PKCS#12 key (its password in the environment variable VELMORA_SIGN_PASSWORD
# when building, never in the cache), the cross builds above sign the
# screensaver before the installer carries it, and dist signs the installer,
# keeps a copy of the signed screensaver beside it and checksums the signed file.
set(VELMORA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
add_custom_target(dist ALL
    COMMAND ${CMAKE_COMMAND} -DEXE=${VELMORA_WINDOWS_i686_DIR}/VelmoraSetup.exe
        -DSAVER=${VELMORA_WINDOWS_i686_DIR}/Velmora.scr -DDIST=${VELMORA_DIST_DIR}
        -DSIGN_PKCS12=${VELMORA_SIGN_PKCS12} -DSIGN_TIMESTAMP_URL=${VELMORA_SIGN_TIMESTAMP_URL}
        -DSIGN_NOTE=${CMAKE_CURRENT_BINARY_DIR}/dist-signing.txt -P ${CMAKE_SOURCE_DIR}/cmake/Dist.cmake
    DEPENDS windows-i686
    COMMENT "Release executable and checksum in ${VELMORA_DIST_DIR}"
    VERBATIM)

# Everything that runs under Wine goes through one harness.
set(VELMORA_HARNESS ${CMAKE_SOURCE_DIR}/tests/harness)
set(VELMORA_TEST_OUTPUT ${CMAKE_BINARY_DIR}/test-output)
set(VELMORA_WINE_ENVIRONMENT
    "VELMORA_ARCH=${VELMORA_TEST_ARCH}"
    "VELMORA_PROBE=${VELMORA_WINDOWS_${VELMORA_TEST_ARCH}_DIR}/winprobe.exe"
    "VELMORA_TEST_OUTPUT=${VELMORA_TEST_OUTPUT}"
    "PYTHONPATH=${VELMORA_HARNESS}"
    "PYTHONDONTWRITEBYTECODE=1")
add_subdirectory(tests/windows)
add_subdirectory(tests/e2e)
add_subdirectory(tests/release)
