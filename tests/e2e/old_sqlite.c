/* Preloaded into korvel to make the SQLite library look older than the one it was built for. */
int sqlite3_libversion_number(void)
{
    return 3000000;
}
