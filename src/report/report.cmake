# korvel-report: the command-line companion that summarises, exports and charts the log.
target_sources(korvel_core PRIVATE
    report/timetext.h report/timetext.cpp
    report/records.h report/records.cpp
    report/errors.h
    report/downsample.h report/downsample.cpp
    report/runs.h report/runs.cpp
    report/summarytable.h report/summarytable.cpp
    report/csvwriter.h report/csvwriter.cpp
    report/htmlreport.h report/htmlreport.cpp
    report/cli.h report/cli.cpp
)

# The charting library is built in when the build machine has it (Debian: libjs-dygraphs), so that the program
# makes working pages on machines without it; otherwise the program looks for it at run time.
find_path(KORVEL_DYGRAPHS_DIR dygraph.min.js
    PATHS /usr/share/javascript/dygraphs
    DOC "Folder holding dygraph.min.js and dygraph.min.css, built into korvel-report")
if(KORVEL_DYGRAPHS_DIR AND EXISTS "${KORVEL_DYGRAPHS_DIR}/dygraph.min.css")
    qt_add_resources(korvel_core "report_dygraphs"
        PREFIX "/report/dygraphs"
        BASE "${KORVEL_DYGRAPHS_DIR}"
        FILES "${KORVEL_DYGRAPHS_DIR}/dygraph.min.js" "${KORVEL_DYGRAPHS_DIR}/dygraph.min.css")
else()
    message(STATUS "dygraphs not found: korvel-report will look for it at run time (install libjs-dygraphs)")
endif()

add_executable(korvel-report report/main.cpp)
target_link_libraries(korvel-report PRIVATE korvel_core)
install(TARGETS korvel-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
