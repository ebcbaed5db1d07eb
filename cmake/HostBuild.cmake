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

set(VELMORA_WINDOWS_ARCHES i686 x86_64)
foreach(arch IN LISTS VELMORA_WINDOWS_ARCHES)
    if(arch STREQUAL "x86_64")
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
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        DEPENDS rld_encode payload_embed
        USES_TERMINAL_BUILD ON)
    set(VELMORA_WINDOWS_${arch}_DIR ${CMAKE_BINARY_DIR}/windows-${arch})
endforeach()

# The release: the i686 installer and its SHA-256 checksum in dist/.
set(VELMORA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
add_custom_target(dist ALL
    COMMAND ${CMAKE_COMMAND} -DEXE=${VELMORA_WINDOWS_i686_DIR}/VelmoraSetup.exe
        -DDIST=${VELMORA_DIST_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/Dist.cmake
    DEPENDS windows-i686
    COMMENT "Release executable and checksum in ${VELMORA_DIST_DIR}"
    VERBATIM)

# Everything that runs under Wine goes through one harness.
set(VELMORA_HARNESS ${CMAKE_SOURCE_DIR}/tests/harness)
set(VELMORA_TEST_OUTPUT ${CMAKE_BINARY_DIR}/test-output)
add_subdirectory(tests/windows)
add_subdirectory(tests/e2e)
