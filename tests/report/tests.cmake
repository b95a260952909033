# korvel-report: summaries, CSV, the HTML page in a headless browser and a million-row log.
add_korvel_test(tst_report_summary report/tst_report_summary.cpp report/fixture.h report/fixture.cpp)
add_korvel_test(tst_report_csv report/tst_report_csv.cpp report/fixture.h report/fixture.cpp)
