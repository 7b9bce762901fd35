include(${CMAKE_CURRENT_LIST_DIR}/../host_headers.cmake)
kestrava_host_header_target(CLI11::CLI11 CLI)
