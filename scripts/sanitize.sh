#!/usr/bin/env bash
# Runs the test suite under the sanitizers, each in a build folder of its own:
#   build-sanitize/  everything with AddressSanitizer + UndefinedBehaviorSanitizer, whole suite;
#   build-tsan/      the telemetry library and its tests with ThreadSanitizer.
# Tests that cannot run under a sanitizer by design carry the CTest label "no-sanitizer" and
# are skipped here; the reason for each group is printed (it sits beside the group in its
# tests/**/CMakeLists.txt). Usage: scripts/sanitize.sh [asan|tsan]   (both by default)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/install-deps.sh
export CCACHE_BASEDIR="$(dirname "$here")" CCACHE_NOHASHDIR=true
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export QT_QPA_PLATFORM=offscreen
passes=("${@:-asan tsan}")
passes=(${passes[*]})

# Release builds at -O1: the sanitizers' usual level, and a much quicker build than -O3.
configure() {
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$2" \
    -DCMAKE_CXX_FLAGS="$2" -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" >/dev/null
}

echo "Skipped under the sanitizers (label no-sanitizer):"
grep -rh --include=CMakeLists.txt -A1 "NO_SANITIZER" tests | grep -o 'WHY ".*"' | sed 's/^WHY /  /'

for pass in "${passes[@]}"; do
  case "$pass" in
  asan)
    build=build-sanitize
    flags="-g1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
    # No alternate signal stacks from ASan: the crash reporter gives threads its own, and its
    # tests check that a thread starts without one.
    export ASAN_OPTIONS="use_sigaltstack=0:${ASAN_OPTIONS:-}"
    export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
    # The application started on an X server goes without OpenGL here. With it, Qt WebEngine's
    # shared context (made when the application object starts) has Mesa's software driver,
    # swrast_dri.so, keep 128 bytes of its one-time set-up; the driver is unloaded when the X
    # connection closes, before the leak check, which then reports them from an unnamed module,
    # where no suppression can reach them. Nothing of ours draws with OpenGL.
    export QT_XCB_GL_INTEGRATION=none
    configure "$build" "$flags"
    cmake --build "$build" -j "$(nproc)"
    (cd "$build" && ctest -j "$(nproc)" --timeout 300 --output-on-failure -LE no-sanitizer)
    ;;
  tsan)
    build=build-tsan
    flags="-g1 -fno-omit-frame-pointer -fsanitize=thread"
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
    configure "$build" "$flags"
    telemetry_tests=(telemetry_platform_tests telemetry_core_tests telemetry_crash_tests)
    cmake --build "$build" -j "$(nproc)" --target "${telemetry_tests[@]}"
    # Only the telemetry executables are built here: the others show up as *_NOT_BUILT.
    (cd "$build" && ctest -j "$(nproc)" --timeout 300 --output-on-failure -LE no-sanitizer \
      -E '_NOT_BUILT$|^asan\.|^app\.version$|^bench\.')
    ;;
  *)
    echo "unknown pass: $pass (asan or tsan)" >&2
    exit 2
    ;;
  esac
done
