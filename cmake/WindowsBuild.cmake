# Windows side (cross build with a toolchain file from cmake/).
option(VELMORA_WINDOWS_TESTS "Build the Windows-side test program" OFF)
set(VELMORA_RLD_ENCODE "" CACHE FILEPATH "Host-built picture encoder")
set(VELMORA_PAYLOAD_EMBED "" CACHE FILEPATH "Host-built payload embedder")
if(NOT VELMORA_RLD_ENCODE OR NOT VELMORA_PAYLOAD_EMBED)
    message(FATAL_ERROR "VELMORA_RLD_ENCODE and VELMORA_PAYLOAD_EMBED must name the host-built tools")
endif()

# One self-contained executable: no DLL beyond those of Windows itself.
set(VELMORA_STATIC_LINK -static -static-libgcc -static-libstdc++)
# Product code: no exceptions, no RTTI, nothing linked that is not called.
set(VELMORA_PRODUCT_FLAGS ${VELMORA_WARNINGS} -fno-exceptions -fno-rtti
    -ffunction-sections -fdata-sections)

enable_language(RC)
add_subdirectory(screensaver)
add_subdirectory(src)
if(VELMORA_WINDOWS_TESTS)
    add_subdirectory(tests/windows)
endif()
