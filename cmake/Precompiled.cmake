# Almost all of our compile time is spent parsing JUCE's module headers, so
# every target of ours precompiles them once.
set(ZELX_PCH_CORE
    <juce_core/juce_core.h>
    <juce_events/juce_events.h>
    <juce_audio_basics/juce_audio_basics.h>)
set(ZELX_PCH_FULL
    ${ZELX_PCH_CORE}
    <juce_data_structures/juce_data_structures.h>
    <juce_audio_devices/juce_audio_devices.h>
    <juce_audio_processors/juce_audio_processors.h>)

# zelx_precompile(<target> [CORE] [TESTS] [SHARE_WITH <owner>])
#   CORE:       only the non-GUI modules (the measurement core needs no more)
#   TESTS:      GoogleTest too
#   SHARE_WITH: reuse <owner>'s header instead of building another one; the
#               owner must be built with the same options (a library for a
#               library, an executable for an executable)
function(zelx_precompile target)
  cmake_parse_arguments(ARG "CORE;TESTS" "SHARE_WITH" "" ${ARGN})
  if(ARG_SHARE_WITH AND NOT target STREQUAL ARG_SHARE_WITH)
    target_precompile_headers(${target} REUSE_FROM ${ARG_SHARE_WITH})
    return()
  endif()
  if(ARG_CORE)
    set(headers ${ZELX_PCH_CORE})
  else()
    set(headers ${ZELX_PCH_FULL})
  endif()
  if(ARG_TESTS)
    list(APPEND headers <gtest/gtest.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# Complain where a shared header does not fit, rather than silently parse.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Winvalid-pch>)

# The libraries' shared header, built once by a target of its own that is
# made before any library that reuses it.
add_library(zelx_pch STATIC "${CMAKE_CURRENT_LIST_DIR}/PrecompiledHeaders.cpp")
target_link_libraries(zelx_pch PRIVATE juce_modules)
target_compile_options(zelx_pch PRIVATE -Wall -Wextra -Wno-deprecated-declarations)
zelx_precompile(zelx_pch)
