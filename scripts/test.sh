#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds both targets and runs every test:
# the unit tests natively and under Wine, then the end-to-end tests of the
# real programs. Prints one closing line: "N passed, N failed".
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

"$root/scripts/setup.sh" || { echo "0 passed, 1 failed"; exit 1; }
"$root/scripts/build.sh" || { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
run() {
    local name="$1"
    shift
    echo "=== $name"
    if "$@"; then
        passed=$((passed + 1))
        echo "=== $name: passed"
    else
        failed=$((failed + 1))
        echo "=== $name: FAILED"
    fi
}

# The unit tests, natively. Their permission cases drop to an unprivileged
# user by themselves, since root passes every permission check.
run "unit tests (Linux)" "$root/build/linux/tests/obey_tests"

# The same suite built for Windows, under Wine in a prefix of its own.
"$root/scripts/wine_env.sh" run "unit tests (Windows, under Wine)" \
    && passed=$((passed + 1)) || failed=$((failed + 1))

for suite in "$root"/tests/e2e/run_*.sh; do
    [ -e "$suite" ] || continue
    run "end-to-end: $(basename "$suite" .sh)" bash "$suite"
done

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
