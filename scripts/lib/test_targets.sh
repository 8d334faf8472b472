# unit_protocol_targets TESTS_DIR BUILD_DIR: the unit and protocol test programs, as the test folders
# declare them (through zq_test or gtest_discover_tests directly), that the configured build in
# BUILD_DIR has (the Win32 back end's tests exist only in the Windows builds), one a line.
unit_protocol_targets() {
    local known
    known=$(cmake --build "$2" --target help | sed -n 's/^\.\.\. \([A-Za-z0-9_]*\).*/\1/p')
    grep -rhoE '(zq_test|gtest_discover_tests)\([A-Za-z0-9_]+ .*(LABEL|LABELS) (unit|protocol)' "$1" |
        sed -E 's/^[a-z_]+\(([A-Za-z0-9_]+).*/\1/' | sort -u | grep -xF "$known"
}
