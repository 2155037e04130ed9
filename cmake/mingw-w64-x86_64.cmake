# Cross-builds the Windows target (64-bit) with Debian's mingw-w64, posix
# threads variant (std::thread and std::mutex need it), linked statically so
# that the programs run without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALVERO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVERO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVERO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVERO_MINGW_TRIPLE}-windres)
set(KALVERO_WIDL ${KALVERO_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${KALVERO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
