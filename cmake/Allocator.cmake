# The memory allocator the programs run with: gperftools' tcmalloc on Linux. A listing allocates
# and frees small blocks for every message in one thread while its bodies are freed in others;
# glibc's allocator spends a fifth of the IMAP thread's time sorting and merging such blocks, and
# its arenas keep freed memory scattered, so the peak of a large listing varied from run to run.
# The sanitizers bring an allocator of their own, and other systems keep theirs.
add_library(quentaril_allocator INTERFACE)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT QUENTARIL_SANITIZE AND NOT QUENTARIL_FUZZ)
    pkg_check_modules(TCMALLOC REQUIRED IMPORTED_TARGET libtcmalloc_minimal)
    target_link_libraries(quentaril_allocator INTERFACE PkgConfig::TCMALLOC)
endif()
