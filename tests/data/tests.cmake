# Data-set layer over SQLite.
add_korvel_test(tst_connectionstring data/tst_connectionstring.cpp data/testdb.h)
add_korvel_test(tst_columnkind data/tst_columnkind.cpp)
add_korvel_test(tst_connection data/tst_connection.cpp data/testdb.h)
add_korvel_test(tst_table data/tst_table.cpp data/testdb.h)
add_korvel_test(tst_query data/tst_query.cpp data/testdb.h)
add_korvel_test(tst_command data/tst_command.cpp data/testdb.h)
