# 32-bit native Linux build (-m32, Debian's gcc-multilib/g++-multilib) of the
# portable code and its tests: the Windows product is 32-bit, and a size that
# wraps in 32-bit arithmetic only shows in a 32-bit build.
#
# Where this machine cannot execute 32-bit programs (a kernel without 32-bit
# user mode), CTest runs them under the user-mode emulator qemu-i386. Whether
# it can is found out by running a tiny 32-bit program, not by guessing from
# the kernel or the CPU. Give -DCMAKE_CROSSCOMPILING_EMULATOR=... to choose
# yourself (an empty value runs the programs directly).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
# Only 32-bit libraries may be found; the native ones beside them do not link.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)

get_property(in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT in_try_compile AND NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(probe_dir ${CMAKE_BINARY_DIR}/CMakeFiles/host32-probe)
  file(MAKE_DIRECTORY ${probe_dir})
  file(WRITE ${probe_dir}/probe.c
    "int main(void) { return sizeof(void*) == 4 ? 32 : 1; }\n")
  execute_process(COMMAND ${CMAKE_C_COMPILER} -m32 probe.c -o probe WORKING_DIRECTORY ${probe_dir}
                  RESULT_VARIABLE built ERROR_VARIABLE build_errors)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "gcc -m32 cannot build a 32-bit program (install gcc-multilib and g++-multilib):\n"
                        "${build_errors}")
  endif()
  execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
  if(ran EQUAL 32)
    set(emulator "")
    message(STATUS "32-bit programs run on this machine: tests run directly")
  else()
    find_program(qemu_i386 NAMES qemu-i386 qemu-i386-static)
    if(qemu_i386)
      execute_process(COMMAND ${qemu_i386} ${probe_dir}/probe RESULT_VARIABLE ran OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(NOT qemu_i386 OR NOT ran EQUAL 32)
      message(FATAL_ERROR "this machine runs no 32-bit programs and qemu-i386 (package qemu-user) "
                          "cannot run them either")
    endif()
    set(emulator ${qemu_i386})
    message(STATUS "this machine runs no 32-bit programs: tests run under ${qemu_i386}")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${emulator}" CACHE STRING
      "Runs the tree's 32-bit programs (empty: they run directly)")
endif()
