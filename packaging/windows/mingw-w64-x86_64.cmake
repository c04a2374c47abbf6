# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 compilers.  The "-posix" variants
# are the ones with std::thread and std::mutex, which Qt needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VIRELAN2_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${VIRELAN2_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIRELAN2_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VIRELAN2_MINGW_TRIPLE}-windres)
set(CMAKE_AR           /usr/bin/${VIRELAN2_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${VIRELAN2_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP        /usr/bin/${VIRELAN2_MINGW_TRIPLE}-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP      /usr/bin/${VIRELAN2_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

# Headers, libraries and CMake packages come from the MinGW sysroot (and the Qt prefix the
# caller adds); programs such as moc run on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VIRELAN2_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config would otherwise answer with the build machine's Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${VIRELAN2_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
