# Its own main: the review's grid needs a QApplication before any benchmark runs. The host
# libraries give one variant the reference host's product names.
add_executable(reviewwindow_bench ${CMAKE_CURRENT_LIST_DIR}/reviewwindow_bench.cpp)
target_link_libraries(reviewwindow_bench PRIVATE zeltpc5_engine zeltpc5_hostservices zeltpc5_hostdb zeltpc5_host_helpers
    Qt6::Widgets benchmark::benchmark)
set_target_properties(reviewwindow_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
