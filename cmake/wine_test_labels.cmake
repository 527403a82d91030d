# Read by CTest after the Windows unit tests are listed: labels them "wine"
# as well as "unit".
if(obey_tests_TESTS)
    set_tests_properties(${obey_tests_TESTS} PROPERTIES LABELS "unit;wine")
endif()
