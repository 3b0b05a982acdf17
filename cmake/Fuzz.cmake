# -DOWB_FUZZ=ON (with clang): libFuzzer targets under fuzz/, in a build folder of their own.
# Everything is compiled with coverage for the fuzzer and with ASan+UBSan; only the libraries
# the targets need are built, no tests, no windows.
option(OWB_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(OWB_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OWB_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  if(OWB_SANITIZE)
    message(FATAL_ERROR "OWB_FUZZ brings its own sanitizers; leave OWB_SANITIZE off")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g -O1)
  add_link_options(-fsanitize=address,undefined)
  set(OWB_SRC_DIRS "common;log;xml;server;schema;navigation;xpath" CACHE STRING "" FORCE)
  set(OWB_TEST_DIRS "" CACHE STRING "" FORCE)
  set(OWB_WITH_BENCH OFF CACHE BOOL "" FORCE)
endif()
