zeltpc5_add_benchmark(xml_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/xml_bench.cpp LIBS zeltpc5_pricing)
