# What a Windows user gets: murkel.exe and murkel-cli.exe, the HTML help with its pictures, the
# OCR's language data, a Japanese read-me (code page 932, CRLF) and the
# licences, in one ZIP named
# after the version and the build: `cmake --build BUILD --target package`
# makes MURKEL_Pro-1.2.0.0-win32.zip (win64 for the x86-64 build).
set(MURKEL_HELP_SOURCE ${PROJECT_SOURCE_DIR}/docs/help)

# The help lies beside the program in the build folder too, where the editor
# looks for it (scripts/run.sh and the tests start it from there).
add_custom_target(murkel_help ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${MURKEL_HELP_SOURCE} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help
  COMMENT "Copying the help beside murkel.exe")

# The OCR's language data (Debian's tesseract-ocr-eng and tesseract-ocr-jpn,
# the small, fast models) lies in tessdata beside the program, in the build
# folder as in the package, with the licences of the OCR libraries.
set(MURKEL_TESSDATA_SOURCE /usr/share/tesseract-ocr/5/tessdata CACHE PATH "Folder of eng.traineddata and jpn.traineddata")
set(MURKEL_TESSDATA_FILES ${MURKEL_TESSDATA_SOURCE}/eng.traineddata ${MURKEL_TESSDATA_SOURCE}/jpn.traineddata)
add_custom_target(murkel_tessdata ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/tessdata
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MURKEL_TESSDATA_FILES} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/tessdata
  COMMENT "Copying the OCR language data beside murkel.exe")
install(FILES ${MURKEL_TESSDATA_FILES} DESTINATION tessdata)
install(DIRECTORY ${MURKEL_OCR_LICENCES}/ DESTINATION licences)

install(TARGETS murkel RUNTIME DESTINATION .)
install(DIRECTORY ${MURKEL_HELP_SOURCE}/ DESTINATION help)
install(FILES ${PROJECT_SOURCE_DIR}/docs/package/readme.txt ${PROJECT_SOURCE_DIR}/LICENSE.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME MURKEL_Pro)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
# Kept apart: including CPack leaves its own variable at the source package's name.
set(MURKEL_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_FILE_NAME ${MURKEL_PACKAGE_FILE_NAME})
include(CPack)
