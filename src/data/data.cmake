# The data-set layer over SQLite: connection, table, query, command, fields, data source.
target_sources(korvel_core PRIVATE
    data/sqlite.h data/sqlite.cpp
)
