-- Creates the log table of bat.mdb. The program never creates the file or the table itself;
-- scripts/run.sh uses this when bat.mdb is missing.
PRAGMA journal_mode = WAL;

CREATE TABLE IF NOT EXISTS testdata (
    tid   INTEGER PRIMARY KEY AUTOINCREMENT,
    ttest VARCHAR(50),
    tbat  VARCHAR(50),
    ttime DATETIME,
    tac   BOOLEAN,
    tperc DOUBLE,
    telap VARCHAR(8)
);

-- The view reads newest first; without this index its first page scans the whole table.
CREATE INDEX IF NOT EXISTS testdata_ttime ON testdata (ttime);
