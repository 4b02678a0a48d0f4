# The update cycle and the shared record list. Included from
# tests/rates/CMakeLists.txt.
qb_add_test(rates_update_merge_test SOURCES UpdateMergeTest.cpp LIBS qb_update)
qb_add_test(rates_update_cycle_test SOURCES UpdateCycleTest.cpp LIBS qb_update qb_test_server LABELS threads)
qb_add_test(rates_shared_threads_test SOURCES SharedRatesThreadTest.cpp LIBS qb_update qb_feed LABELS threads)
