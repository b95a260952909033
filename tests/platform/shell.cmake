# Application shell: error guard, boxes, module references, timer, termination signals.
add_korvel_test(tst_application platform/tst_application.cpp)
add_korvel_test(tst_messagebox platform/tst_messagebox.cpp)
add_korvel_test(tst_modules platform/tst_modules.cpp)
add_korvel_test(tst_timer platform/tst_timer.cpp)
add_korvel_test(tst_signals platform/tst_signals.cpp)
