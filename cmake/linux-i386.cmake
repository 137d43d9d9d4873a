# 32-bit Linux with the host's compilers (-m32): the portable code with a 4-byte size_t, as the
# 32-bit release has it. The tests run directly where the kernel runs 32-bit code; where it does
# not, under QEMU's user-mode emulator, which CMake uses because this counts as cross compiling.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
