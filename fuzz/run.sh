#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for a number of seconds, at most 4 at a time, under nice.
#
#   fuzz/run.sh [seconds per target, default 60] [target ...]   all targets when none is named
#   fuzz/run.sh --seeds                                           rewrite fuzz/corpus/ with our writers
#
# Each run starts from fuzz/corpus/<target> (seeds made by our own writers) and
# fuzz/regressions/<target> (inputs that once failed); what it learns stays in
# build-fuzz/corpus/<target>. A crash, hang or out-of-memory leaves its input in
# build-fuzz/artifacts/<target>/: fix the reader, then copy the input into
# fuzz/regressions/<target>/ so the test suite (tests/fuzz) replays it in every build.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh

targets_all=(document pasteboard stencil gradient styles defaults notation image_bank image_bank_picture record telemetry_settings crash_report analytics_files svg sequence_outline)
build=build-fuzz
jobs="${QNT_FUZZ_JOBS:-4}"

if [ "${1:-}" = "--seeds" ]; then
  bash scripts/build.sh
  rm -rf fuzz/corpus
  build/bin/qnt_fuzz_seeds fuzz/corpus
  find fuzz/corpus -type f | sort
  exit 0
fi

seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=("${targets_all[@]}")

export CCACHE_BASEDIR="$(dirname "$here")" CCACHE_NOHASHDIR=true
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
flags="-g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined"
# vptr checks are off here for speed (every virtual call on Qt objects); scripts/sanitize.sh keeps them.
flags+=" -fno-sanitize-recover=undefined -fno-sanitize=vptr"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQNT_FUZZ=ON -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

export ASAN_OPTIONS="${ASAN_OPTIONS:-allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# Leaks inside system libraries we do not build (fontconfig's caches) are not ours to fix.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/scripts/lsan.supp:print_suppressions=0}"

run_one() {
  local name="$1" seconds="$2" build="$3"
  local work="$build/corpus/$name" artifacts="$build/artifacts/$name" log="$build/logs/$name.log"
  mkdir -p "$work" "$artifacts" "$build/logs"
  local seeds=(fuzz/corpus/"$name")
  [ -d fuzz/regressions/"$name" ] && seeds+=(fuzz/regressions/"$name")
  local status=0
  nice -n 10 "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
    -max_len=262144 -dict=fuzz/dict/"$name".dict -artifact_prefix="$artifacts/" \
    -print_final_stats=1 "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
  local runs
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)"
  if [ "$status" -eq 0 ]; then
    echo "$name: ok, $runs executions in ${seconds}s"
  else
    echo "$name: FAILED (exit $status) after $runs executions; see $log and $artifacts/"
  fi
  return "$status"
}
export -f run_one

printf '%s\n' "${targets[@]}" |
  xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$build" | tee "$build/summary.txt"
! grep -q FAILED "$build/summary.txt"
