# The compiler settings of the project in one place. Every target links
# corvix_warnings: the program's libraries, the shell, the tests and the
# benchmarks. The program's own code links corvix_program on top, which also
# forbids turning a plain char string into a QString without naming its encoding
# (the tests compare with plain UTF-8 literals and do not).
option(CORVIX_WERROR "Treat compiler warnings as errors" OFF)

add_library(corvix_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(corvix_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                         -Woverloaded-virtual -Wcast-qual -Wold-style-cast -Wimplicit-fallthrough)
  if(CORVIX_WERROR)
    target_compile_options(corvix_warnings INTERFACE -Werror)
  endif()
elseif(MSVC)
  target_compile_options(corvix_warnings INTERFACE /W4 /utf-8)
  if(CORVIX_WERROR)
    target_compile_options(corvix_warnings INTERFACE /WX)
  endif()
endif()
target_compile_definitions(corvix_warnings INTERFACE
    QT_NO_URL_CAST_FROM_STRING              # a QUrl is made on purpose, never from any QString
    QT_NO_CAST_FROM_BYTEARRAY               # bytes are not a C string by accident
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT  # a signal's value is not cut down on its way to a slot
    QT_NO_FOREACH
    QT_NO_JAVA_STYLE_ITERATORS
)

add_library(corvix_program INTERFACE)
target_link_libraries(corvix_program INTERFACE corvix_warnings)
target_compile_definitions(corvix_program INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)
