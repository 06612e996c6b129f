# `colorcorrect serve`: the browser workstation. Its sources join the tool's
# core library; the page's files under web/ are compiled into it.

set(_cc_serve_dir ${CMAKE_CURRENT_LIST_DIR})
# The Debian package ships the library compiled, with its interface header;
# pkg-config gives the switches it was compiled with, which users must share.
if(PKG_CONFIG_FOUND)
  pkg_check_modules(CPPHTTPLIB IMPORTED_TARGET cpp-httplib)
endif()
if(NOT CPPHTTPLIB_FOUND)
  message(FATAL_ERROR
    "`colorcorrect serve` needs cpp-httplib via pkg-config (Debian: libcpp-httplib-dev), which was not found.\n"
    "Install it (scripts/install-deps.sh does) or configure with -DCOLORCORRECT_BUILD_TOOLS=OFF.")
endif()
find_package(Threads REQUIRED)

file(GLOB _cc_serve_web CONFIGURE_DEPENDS ${_cc_serve_dir}/web/*)
set(_cc_serve_generated ${CMAKE_CURRENT_BINARY_DIR}/serve/web_assets_data.cpp)
add_custom_command(
  OUTPUT ${_cc_serve_generated}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${_cc_serve_generated} -DBASE=${_cc_serve_dir}/web
          "-DFILES=${_cc_serve_web}" -P ${_cc_serve_dir}/embed_assets.cmake
  DEPENDS ${_cc_serve_web} ${_cc_serve_dir}/embed_assets.cmake
  COMMENT "Embedding the serve page"
  VERBATIM)

include(${_cc_serve_dir}/serve_request.cmake)
file(GLOB _cc_serve_sources CONFIGURE_DEPENDS ${_cc_serve_dir}/*.cpp ${_cc_serve_dir}/*.h)
list(REMOVE_ITEM _cc_serve_sources ${_cc_serve_dir}/serve_request.cpp ${_cc_serve_dir}/serve_request.h)
target_sources(colorcorrect_cli_core PRIVATE ${_cc_serve_sources} ${_cc_serve_generated})
target_include_directories(colorcorrect_cli_core PUBLIC ${_cc_serve_dir})
target_link_libraries(colorcorrect_cli_core PUBLIC PkgConfig::CPPHTTPLIB Threads::Threads colorcorrect_serve_request)

if(COLORCORRECT_BUILD_TESTS)
  # Server tests: GoogleTest against the request handlers through a real
  # loopback connection.
  file(GLOB _cc_serve_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/serve/*_test.cpp)
  if(_cc_serve_tests)
    find_package(GTest REQUIRED)
    include(GoogleTest)
    add_executable(colorcorrect_serve_tests ${_cc_serve_tests})
    target_link_libraries(colorcorrect_serve_tests PRIVATE
      colorcorrect_cli_core GTest::gtest_main nlohmann_json::nlohmann_json colorcorrect_warnings)
  endif()
  find_program(NODE_EXECUTABLE node)
  # Tests are registered from the top folder, where testing is enabled after
  # the tools have been read.
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _cc_serve_register_tests)
endif()

function(_cc_serve_register_tests)
  if(TARGET colorcorrect_serve_tests)
    include(GoogleTest)
    gtest_discover_tests(colorcorrect_serve_tests
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/bin
      PROPERTIES LABELS "serve")
  endif()
  # Browser tests: the page in headless Chromium, driven by playwright-core.
  # They skip (exit 77) when Chromium or tests/serve/node_modules is missing.
  if(NODE_EXECUTABLE)
    add_test(NAME colorcorrect_serve_browser
      COMMAND ${NODE_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/serve/browser_test.mjs
              $<TARGET_FILE:colorcorrect_cli>
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/serve)
    set_tests_properties(colorcorrect_serve_browser PROPERTIES
      SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS "serve;browser")
  endif()
  # The soak run, short (scripts/soak-serve.py): three sessions at once
  # working the whole interface for some 15 s, every session finishing its
  # round. Labelled "threads" as well, so that the ThreadSanitizer build runs
  # it. Nothing in it is timed; the memory bound leaves room for the
  # sanitizers' own (ThreadSanitizer's shadow memory counts as resident).
  if(EXISTS /usr/bin/python3)
    if(COLORCORRECT_SANITIZE STREQUAL "thread")
      set(_cc_soak_rss 8192)
    elseif(COLORCORRECT_SANITIZE STREQUAL "address")
      set(_cc_soak_rss 4096)
    else()
      set(_cc_soak_rss 1536)
    endif()
    add_test(NAME colorcorrect_serve_soak
      COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/soak-serve.py
              --tool $<TARGET_FILE:colorcorrect_cli> --sessions 3 --duration 15 --toggles 2
              --max-rss-mb ${_cc_soak_rss})
    set_tests_properties(colorcorrect_serve_soak PROPERTIES
      SKIP_RETURN_CODE 77 TIMEOUT 1200 LABELS "serve;threads")
  endif()
endfunction()

# The server tests show the default picture from the resources beside the
# binaries (the tool itself depends on them already).
function(_cc_serve_wire_resources)
  if(TARGET colorcorrect_resources AND TARGET colorcorrect_serve_tests)
    add_dependencies(colorcorrect_serve_tests colorcorrect_resources)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _cc_serve_wire_resources)
