# Sampling platform layer: power status, clock, time format.
if(NOT WIN32)
    add_korvel_test(tst_sysfspowersource platform/tst_sysfspowersource.cpp)
endif()
add_korvel_test(tst_clock platform/tst_clock.cpp)
add_korvel_test(tst_timeformat platform/tst_timeformat.cpp)
