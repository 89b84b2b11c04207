# Linux on 64-bit ARM, cross-built with clang and Debian's arm64 cross libraries
# (libc6-dev-arm64-cross, libstdc++-12-dev-arm64-cross, libgcc-12-dev-arm64-cross,
# binutils-aarch64-linux-gnu), which clang finds by itself, and with the libraries of Debian's
# arm64 architecture (libx11-dev:arm64 and the others in tools/install-deps.sh). Programs, the
# tests among them, run under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(arm64_triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${arm64_triplet})
set(CMAKE_CXX_COMPILER_TARGET ${arm64_triplet})
# Libraries and their CMake and pkg-config files come from the architecture's own folders.
set(CMAKE_LIBRARY_ARCHITECTURE ${arm64_triplet})
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${arm64_triplet}/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${arm64_triplet})
