# The component against the reference host (demo database, product engine, formula engine):
# one line priced end to end, and ChangeOptionValue over many generated lines.
find_package(GTest REQUIRED)
zeltpc5_add_benchmark(integration_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/integration_bench.cpp
            ${PROJECT_SOURCE_DIR}/tests/integration/referencehost.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/testdatabase.cpp
    LIBS zeltpc5_engine zeltpc5_hostservices zeltpc5_hostdb zeltpc5_host_engines GTest::gtest Qt6::Sql)
target_include_directories(integration_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(integration_bench PRIVATE ZELTPC5_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
