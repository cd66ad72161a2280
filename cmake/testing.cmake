# GoogleTest for both builds. Natively the system's libgtest; in the cross
# build the sources Debian ships in /usr/src/googletest, built with mingw.
if(WIN32 AND NOT MSVC AND CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's sources hold a micro sign (through <chrono>) that code page
  # 932 cannot encode; only the editor's texts need CP932.
  target_compile_options(gtest PRIVATE -fexec-charset=UTF-8)
  target_compile_options(gtest_main PRIVATE -fexec-charset=UTF-8)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# murkel_add_test(NAME sources... [LIBS libs...] [SMALL_DISK]) — one
# GoogleTest binary, registered as a single ctest case (discovery through
# Wine would start the binary once more for nothing). With SMALL_DISK, its
# cases named SmallDisk... run apart, as NAME_small_disk.
function(murkel_add_test name)
  cmake_parse_arguments(T "SMALL_DISK" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(T_SMALL_DISK)
    add_test(NAME ${name} COMMAND ${name} --gtest_filter=-*.SmallDisk*)
    murkel_add_small_disk_test(${name})
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
endfunction()

# The target's SmallDisk cases under tests/small_disk.sh (a 1 MB tmpfs),
# reported by ctest as skipped where it cannot mount one.
function(murkel_add_small_disk_test target)
  add_test(NAME ${target}_small_disk
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/small_disk.sh 1024 ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:${target}> --gtest_filter=*.SmallDisk*)
  set_tests_properties(${target}_small_disk PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
