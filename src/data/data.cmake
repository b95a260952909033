# The data-set layer over SQLite: connection, table, query, command, fields, data source.
target_sources(korvel_core PRIVATE
    data/sqlite.h data/sqlite.cpp
    data/connectionstring.h data/connectionstring.cpp
    data/declaredtype.h data/declaredtype.cpp
    data/connection.h data/connection.cpp
    data/dataset.h data/dataset.cpp
    data/field.h data/field.cpp
    data/table.h data/table.cpp
    data/query.h data/query.cpp
    data/command.h data/command.cpp
    data/datasource.h data/datasource.cpp
)
