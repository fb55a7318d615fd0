# The JUCE modules are compiled exactly once, into quorvel_juce. Every other
# target links it and inherits its include directories and definitions, so no
# second copy of a module is ever built.

pkg_check_modules(JUCE_SYSTEM_LIBS REQUIRED IMPORTED_TARGET
  flac vorbis vorbisfile vorbisenc ogg libpng libjpeg zlib)
pkg_check_modules(JUCE_LINUX_LIBS REQUIRED IMPORTED_TARGET
  alsa jack freetype2 fontconfig gl)

add_library(quorvel_juce STATIC)
set_target_properties(quorvel_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)

target_link_libraries(quorvel_juce
  PRIVATE
    juce::juce_core
    juce::juce_events
    juce::juce_data_structures
    juce::juce_graphics
    juce::juce_gui_basics
    juce::juce_gui_extra
    juce::juce_audio_basics
    juce::juce_audio_devices
    juce::juce_audio_formats
    juce::juce_audio_utils
    juce::juce_audio_processors
    juce::juce_dsp
    juce::juce_opengl
  PUBLIC
    juce::juce_recommended_config_flags
    PkgConfig::JUCE_SYSTEM_LIBS
    PkgConfig::JUCE_LINUX_LIBS)

target_compile_definitions(quorvel_juce
  PUBLIC
    JUCE_STANDALONE_APPLICATION=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_USE_MP3AUDIOFORMAT=1
    JUCE_USE_FLAC=1
    JUCE_USE_OGGVORBIS=1
    JUCE_JACK=1
    JUCE_ALSA=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
    JUCE_APPLICATION_NAME_STRING="Quorvel II"
    JUCE_APPLICATION_VERSION_STRING="2.1.5b")

# Re-export what the module sources were compiled with: module headers refuse
# to compile without the same include paths and settings.
target_include_directories(quorvel_juce SYSTEM
  INTERFACE $<TARGET_PROPERTY:quorvel_juce,INCLUDE_DIRECTORIES>)
target_compile_definitions(quorvel_juce
  INTERFACE $<TARGET_PROPERTY:quorvel_juce,COMPILE_DEFINITIONS>)
# JUCE's module sources are not ours to keep warning-free.
target_compile_options(quorvel_juce PRIVATE -w)
