include(${CMAKE_CURRENT_LIST_DIR}/../host_headers.cmake)
kestrava_host_header_target(nlohmann_json::nlohmann_json nlohmann)
