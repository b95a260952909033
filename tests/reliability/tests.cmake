# Reliability: bad files and schemas, hostile text, locks, two writers (in-process), and the real
# program under power cuts, a full disk, two copies on one file and a read-only file (scripts).
add_korvel_test(tst_badfiles reliability/tst_badfiles.cpp app/fakes.h)
add_korvel_test(tst_hostiletext reliability/tst_hostiletext.cpp app/fakes.h)
add_korvel_test(tst_lockedfile reliability/tst_lockedfile.cpp app/fakes.h)
add_korvel_test(tst_twocopies reliability/tst_twocopies.cpp data/testdb.h)
