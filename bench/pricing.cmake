# Pricing one line against the scripted fake host of the pricing tests (needs the tests'
# support library).
if(TARGET zeltpc5_testsupport)
    zeltpc5_add_benchmark(pricing_bench
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/pricing_bench.cpp
                ${PROJECT_SOURCE_DIR}/tests/pricing/pricingfakes.cpp
        LIBS zeltpc5_pricing zeltpc5_testsupport)
endif()
