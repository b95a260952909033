# Application shell: error guard, boxes, module references, timer, termination signals.
add_korvel_test(tst_application platform/tst_application.cpp)
add_korvel_test(tst_messagebox platform/tst_messagebox.cpp)
add_korvel_test(tst_modules platform/tst_modules.cpp)
add_korvel_test(tst_timer platform/tst_timer.cpp)
add_korvel_test(tst_signals platform/tst_signals.cpp)

if(KORVEL_SANITIZE)
    # Debian's Qt Widgets and Gui are built without exception cleanups: an error thrown from a mouse
    # handler unwinds through QApplication::notify without freeing its copy of the mouse event. The guard
    # test does that on purpose; a few hundred bytes per error box are the accepted price.
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/shell-lsan.supp "leak:QApplication::notify\n")
    # Full stacks: Qt's frames have no frame pointers, so the quick unwinder would not see notify.
    set_property(TEST tst_application APPEND PROPERTY ENVIRONMENT
        "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_BINARY_DIR}/shell-lsan.supp"
        "ASAN_OPTIONS=fast_unwind_on_malloc=0")
endif()
