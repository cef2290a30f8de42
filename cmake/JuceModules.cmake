# The JUCE modules are compiled once into one static library that the app,
# the tests and the benchmarks all link.
add_library(juce_modules STATIC)

target_link_libraries(juce_modules
  PRIVATE
    juce::juce_core
    juce::juce_events
    juce::juce_data_structures
    juce::juce_graphics
    juce::juce_gui_basics
    juce::juce_gui_extra
    juce::juce_audio_basics
    juce::juce_audio_devices
    juce::juce_audio_processors
    juce::juce_audio_formats
    juce::juce_audio_utils
    juce::pkgconfig_JUCE_IMG_LINUX_DEPS
  PUBLIC
    juce::juce_recommended_config_flags
    Threads::Threads)

target_compile_definitions(juce_modules
  PUBLIC
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_MP3AUDIOFORMAT=0
    JUCE_USE_LAME_AUDIO_FORMAT=0
    JUCE_USE_WINDOWS_MEDIA_FORMAT=0
    JUCE_JACK=1
    JUCE_ALSA=1
    JUCE_JACK_CLIENT_NAME="ZELX5.1"
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_STANDALONE_APPLICATION=1
    JUCE_SILENCE_XCODE_15_LINKER_WARNING=1
  INTERFACE
    $<TARGET_PROPERTY:juce_modules,COMPILE_DEFINITIONS>)

target_include_directories(juce_modules
  SYSTEM INTERFACE $<TARGET_PROPERTY:juce_modules,INCLUDE_DIRECTORIES>)

# Debian's JUCE headers trip a few of GCC 12's newer warnings; they are not ours.
target_compile_options(juce_modules PRIVATE -w)
