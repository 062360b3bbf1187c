# Gathers everything the Windows packages hold into one folder (run by packaging/windows at build
# time): the program, the run-time DLLs and plugins it loads, Qt's Japanese texts, the font and its
# licence, the licences of libsndfile, its codecs and KissFFT, the README and the licence. The folder
# is made afresh, so nothing stale slips in.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/platforms ${STAGE}/styles ${STAGE}/translations ${STAGE}/fonts)

file(COPY ${PROGRAM} DESTINATION ${STAGE})
get_filename_component(program_name ${PROGRAM} NAME)
execute_process(COMMAND ${STRIP} --strip-debug ${STAGE}/${program_name} COMMAND_ERROR_IS_FATAL ANY)

string(REPLACE "|" ";" DLLS "${DLLS}")
file(COPY ${DLLS} DESTINATION ${STAGE})
# MinGW's own run-time comes with its symbols (libstdc++ alone is 23 MB with them, 2 MB without).
file(GLOB shipped_dlls ${STAGE}/*.dll)
execute_process(COMMAND ${STRIP} --strip-unneeded ${shipped_dlls} COMMAND_ERROR_IS_FATAL ANY)
file(COPY ${PLATFORM_PLUGIN} DESTINATION ${STAGE}/platforms)
file(COPY ${STYLE_PLUGIN} DESTINATION ${STAGE}/styles)
file(COPY ${QT_JA} DESTINATION ${STAGE}/translations)
# Qt looks for its translations relative to the program.
file(WRITE ${STAGE}/qt.conf "[Paths]\r\nPrefix = .\r\nTranslations = translations\r\n")

file(COPY ${FONT} DESTINATION ${STAGE}/fonts)
file(COPY_FILE ${FONT_LICENSE} ${STAGE}/fonts/IPA_Font_License.txt)
# Beside their DLLs, named for the library ("libsndfile-COPYING.txt", "mpg123-COPYING.txt").
string(REPLACE "|" ";" LIBRARY_LICENSES "${LIBRARY_LICENSES}")
foreach(license IN LISTS LIBRARY_LICENSES)
    get_filename_component(name ${license} NAME_WE)
    file(COPY_FILE ${license} ${STAGE}/${name}.txt)
endforeach()
file(COPY ${README} DESTINATION ${STAGE})
# As LICENSE.txt, which Windows opens in Notepad; a file without an extension it asks about.
file(COPY_FILE ${LICENSE} ${STAGE}/LICENSE.txt)
