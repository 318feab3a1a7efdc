zeltpc5_add_benchmark(hostengines_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostengines_bench.cpp
    LIBS zeltpc5_host_engines zeltpc5_hostdb)
target_compile_definitions(hostengines_bench
    PRIVATE ZELTPC5_BENCH_PRODUCT_DIR="${PROJECT_SOURCE_DIR}/host/products")
