# Makes the package with CPack and unpacks it into DESTINATION, as a user
# would: cmake -DCPACK=... -DBINARY_DIR=... -DPACKAGE=... -DDESTINATION=... -P unpack_package.cmake
set(zip ${BINARY_DIR}/package-test/${PACKAGE}.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CPACK} -G ZIP --config ${BINARY_DIR}/CPackConfig.cmake -B ${BINARY_DIR}/package-test
                RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${zip})
  message(FATAL_ERROR "CPack did not make ${zip}")
endif()
file(REMOVE_RECURSE "${DESTINATION}")
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION "${DESTINATION}")
message(STATUS "unpacked ${zip} into ${DESTINATION}")
