# Compile options shared by every target of the project.
add_library(spiralux_options INTERFACE)
target_compile_options(spiralux_options INTERFACE
  -Wall -Wextra -Wno-unused-parameter)
target_include_directories(spiralux_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(SPIRALUX_FUZZ)
  # The libraries get the fuzzer's coverage instrumentation; the fuzz
  # targets themselves link with -fsanitize=fuzzer.
  target_compile_options(spiralux_options INTERFACE -fsanitize=fuzzer-no-link)
  set(SPIRALUX_SANITIZE ON)
endif()

if(SPIRALUX_SANITIZE)
  set(san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(spiralux_options INTERFACE ${san})
  target_link_options(spiralux_options INTERFACE ${san})
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # Every Windows that runs the product requires SSE2: the i686 build uses
  # it throughout, its doubles in SSE registers as in the x86-64 builds (no
  # x87 extended precision), so both builds compute the same bytes.
  target_compile_options(spiralux_options INTERFACE -msse2 -mfpmath=sse)
endif()

if(WIN32)
  # A clean Windows has no mingw runtime DLLs: link everything in.
  target_link_options(spiralux_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(spiralux_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()
