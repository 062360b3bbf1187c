# The run-time files a Windows build needs beside its programs: Qt's libraries, MinGW's C++
# run-time, libsndfile with its codecs, and KissFFT. KORVO_WINDOWS_RUNTIME_DLLS is the list the zip,
# the installer and the Wine test runs all take; a new library a feature needs at run time is one
# more entry here.
# KORVO_WINDOWS_EXTRA_DLLS (a cache list of paths) adds such files without editing this one.
set(KORVO_WINDOWS_QT_DLLS Qt6Core Qt6Gui Qt6Widgets)
set(KORVO_WINDOWS_MINGW_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
set(KORVO_WINDOWS_EXTRA_DLLS "" CACHE STRING "Further run-time DLLs to ship beside korvo.exe (full paths)")

set(KORVO_WINDOWS_RUNTIME_DLLS)
foreach(name IN LISTS KORVO_WINDOWS_QT_DLLS)
    list(APPEND KORVO_WINDOWS_RUNTIME_DLLS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}/${name}.dll)
endforeach()
foreach(name IN LISTS KORVO_WINDOWS_MINGW_DLLS)
    # The compiler knows where its own run-time lies (its lib folder, or the MinGW sysroot).
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        find_file(found_${name} ${name} PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
        set(found ${found_${name}})
    endif()
    list(APPEND KORVO_WINDOWS_RUNTIME_DLLS ${found})
endforeach()
# libsndfile (decoding a sample, LGPL-2.1), the codecs it reads compressed formats with (libogg,
# libvorbis, libFLAC and libopus, BSD-3-Clause; libmpg123, LGPL-2.1, and LAME, LGPL-2) and KissFFT
# (the transform of the tempo estimate, BSD-3-Clause) go beside the program as the DLLs they are,
# with their licence texts, which all of these licences ask for. Each comes from the tree pkg-config
# finds it in (see the Makefile): the DLL in its bin folder, the licence in share/licenses.
find_package(PkgConfig REQUIRED)
# The audio module's libraries follow: libsoxr and SoundTouch (LGPL-2.1) and PortAudio (MIT-style).
set(korvo_modules sndfile ogg vorbis vorbisenc flac opus libmpg123 lame kissfft-float soxr soundtouch portaudio-2.0)
set(korvo_module_dlls libsndfile.dll libogg-0.dll libvorbis-0.dll libvorbisenc-2.dll libFLAC.dll libopus-0.dll
    libmpg123-0.dll libmp3lame-0.dll libkissfft-float.dll libsoxr.dll libSoundTouch.dll libportaudio.dll)
set(korvo_module_licenses libsndfile-COPYING libogg-COPYING libvorbis-COPYING libvorbis-COPYING flac-COPYING
    opus-COPYING mpg123-COPYING lame-COPYING kissfft-COPYING libsoxr-COPYING soundtouch-COPYING portaudio-COPYING)
set(KORVO_WINDOWS_LIBRARY_LICENSES)
foreach(module dll license IN ZIP_LISTS korvo_modules korvo_module_dlls korvo_module_licenses)
    # libsoxr's .pc file names no libdir; every one names its prefix.
    pkg_get_variable(prefix ${module} prefix)
    find_file(KORVO_${module}_DLL ${dll} PATHS ${prefix}/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_file(KORVO_${module}_LICENSE ${license} PATHS ${prefix}/share/licenses NO_DEFAULT_PATH
        NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    list(APPEND KORVO_WINDOWS_RUNTIME_DLLS ${KORVO_${module}_DLL})
    list(APPEND KORVO_WINDOWS_LIBRARY_LICENSES ${KORVO_${module}_LICENSE})
endforeach()
list(REMOVE_DUPLICATES KORVO_WINDOWS_LIBRARY_LICENSES)
list(APPEND KORVO_WINDOWS_RUNTIME_DLLS ${KORVO_WINDOWS_EXTRA_DLLS})

# The folders holding them, for Wine's search path when tests run from the build tree.
set(KORVO_WINDOWS_RUNTIME_DIRS)
foreach(dll IN LISTS KORVO_WINDOWS_RUNTIME_DLLS)
    get_filename_component(dir ${dll} DIRECTORY)
    list(APPEND KORVO_WINDOWS_RUNTIME_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES KORVO_WINDOWS_RUNTIME_DIRS)

# The platform plugins: Windows' own, and offscreen for the tests. Qt under Wine wants
# platforms/qwindows.dll beside every program, even one that runs offscreen.
set(KORVO_WINDOWS_PLATFORM_PLUGIN ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/platforms/qwindows.dll)
set(KORVO_OFFSCREEN_PLATFORM_PLUGIN ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/platforms/qoffscreen.dll)
set(KORVO_WINDOWS_STYLE_PLUGIN ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/styles/qwindowsvistastyle.dll)

# What the program needs besides Qt and MinGW: Qt's own Japanese texts (OK/キャンセル), and the
# Japanese font for a Windows without the design face, with its licence. All from Debian packages
# (qt6-translations-l10n, fonts-ipafont-gothic).
set(KORVO_QT_JA /usr/share/qt6/translations/qtbase_ja.qm CACHE FILEPATH "Qt's Japanese translation")
set(KORVO_FONT /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf CACHE FILEPATH "IPA P Gothic")
set(KORVO_FONT_LICENSE /usr/share/doc/fonts-ipafont-gothic/copyright CACHE FILEPATH "IPA P Gothic's licence")
foreach(file IN ITEMS KORVO_QT_JA KORVO_FONT KORVO_FONT_LICENSE)
    if(NOT EXISTS ${${file}})
        message(FATAL_ERROR "${${file}} is missing: scripts/install-deps.sh installs it")
    endif()
endforeach()

