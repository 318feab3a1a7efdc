find_package(GTest REQUIRED)
zeltpc5_add_benchmark(hostdb_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/hostdb_bench.cpp
        ${PROJECT_SOURCE_DIR}/tests/support/testdatabase.cpp
    LIBS zeltpc5_hostservices zeltpc5_hostdb GTest::gtest Qt6::Sql)
target_include_directories(hostdb_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR})
target_compile_definitions(hostdb_bench PRIVATE ZELTPC5_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
