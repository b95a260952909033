add_korvel_test(tst_testrun app/tst_testrun.cpp app/fakes.h)
add_korvel_test(tst_mainwindow app/tst_mainwindow.cpp app/fakes.h)
