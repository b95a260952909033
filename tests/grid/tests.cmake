add_korvel_test(tst_gridformat grid/tst_gridformat.cpp)
add_korvel_test(tst_dbgrid grid/tst_dbgrid.cpp app/fakes.h)
