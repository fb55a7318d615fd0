# Warning flags for our own code: JUCE's recommended set, treated as a hard
# zero in CI through QUORVEL_WERROR.
option(QUORVEL_WERROR "Treat warnings in our own code as errors" OFF)

add_library(quorvel_warnings INTERFACE)
target_link_libraries(quorvel_warnings INTERFACE juce::juce_recommended_warning_flags)
if(QUORVEL_WERROR)
  target_compile_options(quorvel_warnings INTERFACE -Werror)
endif()
