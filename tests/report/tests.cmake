# korvel-report: summaries, CSV, the HTML page in a headless browser and a million-row log.
add_korvel_test(tst_report_summary report/tst_report_summary.cpp report/fixture.h report/fixture.cpp)
add_korvel_test(tst_report_csv report/tst_report_csv.cpp report/fixture.h report/fixture.cpp)

# Opens the page in headless Chromium; the screenshot lands in <build>/artifacts/report.png.
add_korvel_test(tst_report_html report/tst_report_html.cpp report/fixture.h report/fixture.cpp)
add_dependencies(tst_report_html korvel-report)
target_compile_definitions(tst_report_html PRIVATE
    KORVEL_REPORT_EXE="$<TARGET_FILE:korvel-report>"
    KORVEL_REPORT_ARTIFACTS="${CMAKE_BINARY_DIR}/artifacts")
set_tests_properties(tst_report_html PROPERTIES TIMEOUT 240)

# A million rows made in the test: all CSV rows out, chart points and memory bounded.
add_korvel_test(tst_report_large report/tst_report_large.cpp report/fixture.h report/fixture.cpp)
add_dependencies(tst_report_large korvel-report)
target_compile_definitions(tst_report_large PRIVATE KORVEL_REPORT_EXE="$<TARGET_FILE:korvel-report>")
set_tests_properties(tst_report_large PROPERTIES TIMEOUT 600)
