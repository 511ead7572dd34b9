# Running the Windows build's tests under Wine (cross builds only; the toolchain file sets
# the emulator, a wrapper that creates the build's own Wine prefix on first use).
#
# The prefix is made once, by a set-up test that every Wine test requires, so that the
# ten seconds or so of wineboot are spent before the tests rather than inside the first
# one's time limit. A clean-up test waits for the prefix's Wine server to end, so that
# no Wine process outlives the test run.

list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 orvo_wine_wrapper)
list(GET CMAKE_CROSSCOMPILING_EMULATOR 1 orvo_wine_prefix)

add_test(NAME orvo_wine_prefix COMMAND ${orvo_wine_wrapper} ${orvo_wine_prefix} --init)
set_tests_properties(orvo_wine_prefix PROPERTIES FIXTURES_SETUP orvo_wine TIMEOUT 300)

add_test(NAME orvo_wine_server_exit
         COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${orvo_wine_prefix} wineserver -w)
set_tests_properties(orvo_wine_server_exit PROPERTIES FIXTURES_CLEANUP orvo_wine TIMEOUT 60)

# orvo_wine_test_properties(<test>): makes <test> wait for the Wine prefix.
function(orvo_wine_test_properties test)
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED orvo_wine)
endfunction()
