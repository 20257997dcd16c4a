# How the 32-bit build runs its own programs (GoogleTest discovery at build
# time, ctest, test fixtures).  Some 64-bit machines cannot execute 32-bit
# programs at all ("Exec format error").  A tiny probe built with -m32 tells:
# if it runs, programs run natively; if not, they run through the user-mode
# emulator qemu-i386 (Debian package qemu-user), which becomes
# CMAKE_CROSSCOMPILING_EMULATOR.  Without either the configuration fails:
# the 32-bit tests are never skipped silently.
# NS_32BIT_RUN_MODE records the choice for scripts/test.sh to print.

if(CMAKE_CROSSCOMPILING_EMULATOR)
  # Given on the command line, or chosen by an earlier configuration.
  if(NOT DEFINED NS_32BIT_RUN_MODE)
    set(NS_32BIT_RUN_MODE "through ${CMAKE_CROSSCOMPILING_EMULATOR}" CACHE INTERNAL "")
  endif()
  message(STATUS "32-bit programs run ${NS_32BIT_RUN_MODE}")
  return()
endif()

set(_probe ${CMAKE_BINARY_DIR}/ns32probe/probe.c)
file(WRITE ${_probe} "int main(void) { return 0; }\n")
try_run(_probe_run _probe_compiled ${CMAKE_BINARY_DIR}/ns32probe ${_probe}
        COMPILE_DEFINITIONS -m32 LINK_OPTIONS -m32
        COMPILE_OUTPUT_VARIABLE _probe_log)
if(NOT _probe_compiled)
  message(FATAL_ERROR "cannot build a 32-bit program (install g++-multilib):\n${_probe_log}")
endif()

if(_probe_run EQUAL 0)
  set(NS_32BIT_RUN_MODE "natively" CACHE INTERNAL "")
else()
  find_program(NS_QEMU_I386 qemu-i386)
  if(NOT NS_QEMU_I386)
    message(FATAL_ERROR "this machine cannot run 32-bit programs and qemu-i386 is missing: "
                        "install qemu-user (scripts/install-deps.sh does)")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NS_QEMU_I386} CACHE FILEPATH "Runs the 32-bit programs of this build" FORCE)
  set(NS_32BIT_RUN_MODE "through ${NS_QEMU_I386} (this machine cannot execute 32-bit programs)" CACHE INTERNAL "")
endif()
message(STATUS "32-bit programs run ${NS_32BIT_RUN_MODE}")
