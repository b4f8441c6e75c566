# The compiler options of the project, as two interface targets.
#
# malhas_aritmetica: the result files are compared byte for byte, so every
# floating-point operation must happen exactly as written: no fused
# multiply-add, no reassociation, no x87 extended precision on 32-bit x86.
# The traps for invalid, divide-by-zero and overflow are live, so trapping
# math stays on. Every target that computes with the mesh's doubles links it
# (the core library passes it on to its users).
#
# malhas_avisos: the warnings, linked privately by each target of the project.

add_library(malhas_aritmetica INTERFACE)
add_library(malhas_avisos INTERFACE)
if(MSVC)
  target_compile_options(malhas_aritmetica INTERFACE /fp:strict)
  target_compile_options(malhas_avisos INTERFACE /W4)
else()
  target_compile_options(malhas_aritmetica INTERFACE -ffp-contract=off -fno-fast-math -ftrapping-math)
  target_compile_options(malhas_avisos INTERFACE -Wall -Wextra -Wshadow)
endif()

# 32-bit x86 only: doubles in SSE2 registers, since the x87 default computes
# in extended precision and would round differently from every other build.
# (MSVC's default /arch:SSE2 does this already.) This is the one place the
# rule is written; the code refuses to build without it.
set(malhas_x86_32 OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^([iI][3-6]86|x86|X86)$")
  set(malhas_x86_32 ON)
endif()
if(malhas_x86_32 AND NOT MSVC)
  target_compile_options(malhas_aritmetica INTERFACE -msse2 -mfpmath=sse)
  # Windows only promises a 4-byte aligned stack to callbacks such as the
  # exception handler, so functions that spill SSE values realign it.
  if(WIN32)
    target_compile_options(malhas_aritmetica INTERFACE -mincoming-stack-boundary=2)
  endif()
endif()
