zeltpc5_add_benchmark(engine_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp LIBS zeltpc5_engine)
