# -DOWB_SANITIZE=ON: AddressSanitizer (with leak detection) and UndefinedBehaviorSanitizer over
# everything this project compiles. A finding stops the process, so it fails its test.
option(OWB_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(OWB_SANITIZE)
  set(_owb_san -fsanitize=address,undefined -fno-sanitize-recover=all)
  # -O1 keeps stack traces readable and the build quicker than -O2.
  add_compile_options(${_owb_san} -fno-omit-frame-pointer -O1)
  add_link_options(${_owb_san})

  # CTest hands these to every test of this build folder (see sanitize-env.cmake.in).
  set(OWB_SANITIZE_SUPP_DIR ${CMAKE_SOURCE_DIR}/cmake/sanitize)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/sanitize/sanitize-env.cmake.in
                 ${CMAKE_BINARY_DIR}/sanitize-env.cmake @ONLY)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
               ${CMAKE_BINARY_DIR}/sanitize-env.cmake)
endif()
