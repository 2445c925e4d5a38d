# kelm_options: an interface target every kelm library and program links, carrying the compile
# options the results depend on. Ties at 1e-13 and step counts depend on the last bit of every
# sum: no contraction of a multiply and an add into one fused operation, no fast-math. Each
# supported compiler says so in its own words; any other compiler is refused, since nothing
# here could make it exact.
add_library(kelm_options INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang|AppleClang)$")
  target_compile_options(kelm_options INTERFACE -ffp-contract=off -fno-fast-math -Wall -Wextra)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "MSVC")
  target_compile_options(kelm_options INTERFACE /fp:precise /W4)
else()
  message(FATAL_ERROR
    "kelm: the ${CMAKE_CXX_COMPILER_ID} compiler is not supported: its floating-point contract "
    "cannot be set here, and the results depend on the last bit. Use GCC, Clang or MSVC.")
endif()

if(KELM_SANITIZE)
  target_compile_options(kelm_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kelm_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(KELM_THREAD_SANITIZE)
  target_compile_options(kelm_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(kelm_options INTERFACE -fsanitize=thread)
endif()

# A Windows build is linked statically, so that the programs run without the compiler's DLLs.
if(MINGW)
  target_link_options(kelm_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
