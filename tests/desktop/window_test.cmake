# The real window under Xvfb: tests/desktop/run_window_test.sh copies the example, runs
# fernweave-desktop on it with the self-test script, and leaves the screenshot in
# build/<config>/desktop-window.png. Skipped (exit 77) where xvfb-run is not installed.
add_test(NAME desktop.window_under_xvfb
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/desktop/run_window_test.sh
                 $<TARGET_FILE:fernweave-desktop> ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(desktop.window_under_xvfb PROPERTIES
                     SKIP_RETURN_CODE 77
                     TIMEOUT 180
                     ENVIRONMENT "TZ=America/New_York;LC_ALL=en_US.UTF-8")
