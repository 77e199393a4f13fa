#!/usr/bin/env bash
# Builds the fuzz targets as libFuzzer programs (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz, then runs each in turn for the
# given time on a working corpus that starts as a copy of its seeds.
#
#   scripts/fuzz.sh [seconds-per-target, default 600] [target...]
#
# Findings (crash-*, timeout-*, oom-*, leak-*) land in build-fuzz/findings/TARGET/,
# each target's whole output in build-fuzz/logs/TARGET.log. Exits non-zero when
# any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
all=(markup hive ini macro playlist exif position masks)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

lock=(flock /tmp/movarium-build.lock)
export CC=clang CXX=clang++
"${lock[@]}" cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMOVARIUM_FUZZ=ON -DMOVARIUM_BENCH=OFF >/dev/null
"${lock[@]}" nice -n 10 cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

found=0
summary=()
for t in "${targets[@]}"; do
  work=build-fuzz/corpus/$t
  findings=build-fuzz/findings/$t
  log=build-fuzz/logs/$t.log
  mkdir -p "$work" "$findings" build-fuzz/logs
  cp -n fuzz/corpus/"$t"/* "$work"/
  extra=()
  [ -d fuzz/regressions/"$t" ] && extra+=(fuzz/regressions/"$t")
  echo "== fuzz_$t for ${seconds}s (started $(date -u +%H:%M:%S) UTC)"
  rc=0
  nice -n 10 build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings"/ "$work" fuzz/corpus/"$t" "${extra[@]}" >"$log" 2>&1 || rc=$?
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | tail -1)
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | tail -1)
  corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' <<<"$last" | tail -1)
  result="no finding"
  if [ "$rc" -ne 0 ]; then
    found=1
    result="FINDING (exit $rc): $(ls "$findings" | tr '\n' ' ')"
    grep -m3 -E 'ERROR: |runtime error|fuzz invariant broken|ALARM|out-of-memory' "$log" || true
  fi
  line="fuzz_$t: ${seconds}s, ${execs:-?} executions, ${rate:-?} exec/s, ${cov:-cov: ?}, ${ft:-ft: ?}, ${corpus:-corp: ?}; $result"
  echo "$line"
  summary+=("$line")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $found
