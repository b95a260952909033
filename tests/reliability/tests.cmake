# Reliability: bad files and schemas, hostile text, locks, two writers (in-process), and the real
# program under power cuts, a full disk, two copies on one file and a read-only file (scripts).
add_korvel_test(tst_badfiles reliability/tst_badfiles.cpp app/fakes.h)
add_korvel_test(tst_hostiletext reliability/tst_hostiletext.cpp app/fakes.h)
add_korvel_test(tst_lockedfile reliability/tst_lockedfile.cpp app/fakes.h)
add_korvel_test(tst_twocopies reliability/tst_twocopies.cpp data/testdb.h)

# The real program under Xvfb (root: a private mount namespace per program; skipped without it).
foreach(script powercut readonly twocopies diskfull)
    add_test(NAME reliability_${script}
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/reliability/${script}.sh $<TARGET_FILE:korvel> ${PROJECT_SOURCE_DIR}
                ${CMAKE_BINARY_DIR}/artifacts)
    set_tests_properties(reliability_${script} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 RESOURCE_LOCK display
        ENVIRONMENT "LC_ALL=C;LANG=C;QT_QPA_PLATFORM=xcb")
endforeach()

if(KORVEL_SANITIZE)
    # The real program's exit runs LeakSanitizer. libdbus (Qt's session-bus connection on X11) keeps a
    # buffer to the end that it frees only in dbus_shutdown(), which nobody calls: not ours, accepted.
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/program-lsan.supp "leak:libdbus-1.so\n")
    foreach(test e2e_session e2e_startup reliability_powercut reliability_readonly reliability_twocopies
                 reliability_diskfull)
        if(TEST ${test})
            set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
                "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_BINARY_DIR}/program-lsan.supp")
        endif()
    endforeach()
    # The start-up test preloads a stand-in older SQLite ahead of the sanitizer runtime on purpose.
    if(TEST e2e_startup)
        set_property(TEST e2e_startup APPEND PROPERTY ENVIRONMENT "ASAN_OPTIONS=verify_asan_link_order=0")
    endif()
endif()
