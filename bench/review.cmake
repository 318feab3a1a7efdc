zeltpc5_add_benchmark(review_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/review_bench.cpp LIBS zeltpc5_engine)
