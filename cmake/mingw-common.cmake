# Shared by the two mingw-w64 toolchain files; ZAN_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${ZAN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZAN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZAN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Fully static: nothing of the MinGW runtime has to travel beside the executables. No link time in
# the headers (the linker writes one by default), so a commit always links to the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Test executables run under Wine, through a wrapper that supplies the prefix and the display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
