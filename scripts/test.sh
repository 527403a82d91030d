#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the Linux and Windows targets with
# their tests, and runs every test with CTest: the unit tests natively and
# under Wine, the end-to-end suites, and the unit tests twice more, built with
# AddressSanitizer and UndefinedBehaviorSanitizer, and with ThreadSanitizer.
# Prints each CTest summary, then one closing line: "N passed, N failed"; exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${OBEY_JOBS:-$(nproc)}"
presets=(linux windows linux-asan linux-tsan)

"$root/scripts/setup.sh" || { echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
summaries=()

# Every build first: the Windows build's end-to-end suites use the Linux
# build's programs too.
built=()
for preset in "${presets[@]}"; do
    if "$root/scripts/build.sh" "$preset"; then
        built+=("$preset")
    else
        failed=$((failed + 1))
        summaries+=("$preset: the build FAILED")
    fi
done

# One Wine prefix for the Windows unit tests, fresh for this run; its server
# stays up between the tests. The end-to-end suites make their own.
export WINEPREFIX="$(mktemp -d /tmp/obey-wine.XXXXXX)" WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1
wineserver -p

for preset in "${built[@]}"; do
    echo "=== ctest --preset $preset"
    log="$root/build/ctest-$preset.log"
    ctest --preset "$preset" --parallel "$jobs" 2>&1 | tee "$log"
    # "100% tests passed, 0 tests failed out of 57"
    summary="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
    if [ -z "$summary" ]; then
        failed=$((failed + 1))
        summaries+=("$preset: CTest ran no test (see $log)")
        continue
    fi
    read -r bad total < <(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    summaries+=("$preset: $summary")
done

echo "=== summary"
printf '%s\n' "${summaries[@]}"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
