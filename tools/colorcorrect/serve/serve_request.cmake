# colorcorrect_serve_request: the checks `colorcorrect serve` makes on request
# input (serve_request.h). A library of its own, needing only nlohmann-json,
# so that the fuzzing build, which leaves the tools out, links it too.
if(NOT TARGET colorcorrect_serve_request)
  find_package(nlohmann_json 3.9 CONFIG REQUIRED)
  add_library(colorcorrect_serve_request STATIC ${CMAKE_CURRENT_LIST_DIR}/serve_request.cpp
                                                ${CMAKE_CURRENT_LIST_DIR}/serve_request.h)
  target_include_directories(colorcorrect_serve_request PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_compile_features(colorcorrect_serve_request PUBLIC cxx_std_20)
  set_target_properties(colorcorrect_serve_request PROPERTIES CXX_EXTENSIONS OFF)
  target_link_libraries(colorcorrect_serve_request PUBLIC nlohmann_json::nlohmann_json
                                                   PRIVATE colorcorrect_warnings)
endif()
