# One wineserver for the whole test run of a build whose programs run under Wine.
#
# Without it every test program starts a wineserver of its own that ends with the program, and a
# program that starts while the previous server shuts down fails ("recvmsg: Connection reset by
# peer").  The fixture KQWineServer starts a persistent server in the build tree's Wine prefix
# before the first test that needs it and stops it after the last one; CTest adds the two steps
# to any selection of tests that requires the fixture.
#
# KQ_WINE_TEST_PROPERTIES holds the test properties that make a test require the fixture (empty
# when the build does not run its programs under Wine): pass it to gtest_discover_tests as
# PROPERTIES, or use kq_run_under_wine_server(<test>...) for tests added with add_test.
set(KQ_WINE_TEST_PROPERTIES "")
if(CMAKE_CROSSCOMPILING_EMULATOR MATCHES "wine(64)?-run\\.sh$")
  # Run from the top of the build tree, so wine-run.sh picks the prefix every test uses.
  add_test(NAME wine_server_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start-server
           WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  add_test(NAME wine_server_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop-server
           WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP KQWineServer TIMEOUT 600)
  set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP KQWineServer)
  set(KQ_WINE_TEST_PROPERTIES FIXTURES_REQUIRED KQWineServer)
endif()

function(kq_run_under_wine_server)
  if(KQ_WINE_TEST_PROPERTIES)
    set_tests_properties(${ARGN} PROPERTIES ${KQ_WINE_TEST_PROPERTIES})
  endif()
endfunction()
