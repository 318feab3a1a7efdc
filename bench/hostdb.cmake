zeltpc5_add_benchmark(hostdb_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostdb_bench.cpp
    LIBS zeltpc5_hostservices zeltpc5_hostdb)
