# Project-wide warnings and sanitizer flags.
#
# COLORCORRECT_SANITIZE=address builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer; =thread with ThreadSanitizer. Any report aborts
# the process, so a sanitizer finding fails the test that triggered it.

add_library(colorcorrect_warnings INTERFACE)
target_compile_options(colorcorrect_warnings INTERFACE
  $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:-Wall -Wextra>)

if(COLORCORRECT_SANITIZE STREQUAL "address")
  set(_cc_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
elseif(COLORCORRECT_SANITIZE STREQUAL "thread")
  set(_cc_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT COLORCORRECT_SANITIZE STREQUAL "")
  message(FATAL_ERROR "COLORCORRECT_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(_cc_san_flags)
  add_compile_options(${_cc_san_flags})
  add_link_options(${_cc_san_flags})
endif()
