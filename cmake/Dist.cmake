# cmake -DEXE=<release exe> -DDIST=<folder> -P Dist.cmake
# Copies the release executable into DIST and writes its SHA-256 beside it
# in the form `sha256sum -c` reads.
get_filename_component(name ${EXE} NAME)
file(MAKE_DIRECTORY ${DIST})
file(COPY_FILE ${EXE} ${DIST}/${name} ONLY_IF_DIFFERENT)
file(SHA256 ${DIST}/${name} digest)
file(WRITE ${DIST}/${name}.sha256 "${digest}  ${name}\n")
message(STATUS "${DIST}/${name}: SHA-256 ${digest}")
