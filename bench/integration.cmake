# The component against the reference host (demo database, product engine, formula engine):
# one line priced end to end, and ChangeOptionValue over many generated lines.
zeltpc5_add_benchmark(integration_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/integration_bench.cpp
            ${PROJECT_SOURCE_DIR}/tests/integration/referencehost.cpp
    LIBS zeltpc5_engine zeltpc5_hostservices zeltpc5_hostdb zeltpc5_host_engines)
