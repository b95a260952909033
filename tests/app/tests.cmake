add_korvel_test(tst_testrun app/tst_testrun.cpp app/fakes.h)
