# The compiler settings every target of the project shares: the program's
# libraries, the shell, the tests and the benchmarks all link corvix_warnings.
option(CORVIX_WERROR "Treat compiler warnings as errors" OFF)

add_library(corvix_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(corvix_warnings INTERFACE -Wall -Wextra)
  if(CORVIX_WERROR)
    target_compile_options(corvix_warnings INTERFACE -Werror)
  endif()
elseif(MSVC)
  target_compile_options(corvix_warnings INTERFACE /W4 /utf-8)
  if(CORVIX_WERROR)
    target_compile_options(corvix_warnings INTERFACE /WX)
  endif()
endif()
