# Flags every target of the project links through kestrel_flags.
add_library(kestrel_flags INTERFACE)
target_compile_features(kestrel_flags INTERFACE cxx_std_20)
target_compile_options(kestrel_flags INTERFACE
  -Wall -Wextra -pedantic -Wnon-virtual-dtor -Wshadow=local
  # Casts say which conversion they make; the rest catch slips the tree is
  # already free of.
  -Wold-style-cast -Wcast-qual -Wformat=2 -Wmissing-declarations -Wredundant-decls
  -Woverloaded-virtual -Wimplicit-fallthrough)
# -Wlogical-op stays off: it takes the portable errno == EAGAIN ||
# errno == EWOULDBLOCK for a slip, the two being equal here.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(kestrel_flags INTERFACE -Wduplicated-cond)
endif()
target_compile_definitions(kestrel_flags INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_CONTEXTLESS_CONNECT
  QT_USE_QSTRINGBUILDER)

# The sanitizer build (scripts/test-sanitizers.sh): every target of the
# project is built and linked with AddressSanitizer and
# UndefinedBehaviorSanitizer, and any finding ends the program.
option(KESTREL_SANITIZE "Build with -fsanitize=address,undefined" OFF)
if(KESTREL_SANITIZE)
  target_compile_options(kestrel_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(kestrel_flags INTERFACE -fsanitize=address,undefined)
endif()

# CI builds with every warning an error (scripts/test.sh).
option(KESTREL_WERROR "Treat warnings as errors" OFF)
if(KESTREL_WERROR)
  target_compile_options(kestrel_flags INTERFACE -Werror)
endif()
