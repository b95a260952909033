# End-to-end tests of the real program under Xvfb (they need root for a private mount namespace and
# skip without it).
add_test(NAME e2e_session
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/session.sh $<TARGET_FILE:korvel> ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/artifacts)
set_tests_properties(e2e_session PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180 RESOURCE_LOCK display
    ENVIRONMENT "LC_ALL=C;LANG=C;QT_QPA_PLATFORM=xcb")

add_library(old_sqlite MODULE e2e/old_sqlite.c)
set_target_properties(old_sqlite PROPERTIES LINKER_LANGUAGE C)
add_test(NAME e2e_startup
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/startup.sh $<TARGET_FILE:korvel> ${PROJECT_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/artifacts $<TARGET_FILE:old_sqlite>)
set_tests_properties(e2e_startup PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180 RESOURCE_LOCK display
    ENVIRONMENT "LC_ALL=C;LANG=C;QT_QPA_PLATFORM=xcb")
