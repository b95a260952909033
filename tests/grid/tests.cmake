add_korvel_test(tst_gridformat grid/tst_gridformat.cpp)
