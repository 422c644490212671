#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build folder (make fuzz-build):
#   scripts/fuzz.sh BUILD_DIR SECONDS [TARGET...]
# For each target (default: every fuzz/corpus/<target> folder), first
# replays its kept inputs, then fuzzes for SECONDS starting from them.
# New inputs go to BUILD_DIR/fuzz-work/<target>/corpus, never into the
# repository; a crash or sanitizer report stops the script with a non-zero
# exit, and its input is in BUILD_DIR/fuzz-work/<target>/ (crash-*,
# leak-*, timeout-*...): fix the fault, then keep that input in
# fuzz/corpus/<target>/ (named regress-<what>).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?build folder}" && pwd)"
seconds="${2:?seconds per target}"
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for d in "$here"/fuzz/corpus/*/; do targets+=("$(basename "$d")"); done
fi

# As in the sanitizer tests: stop at the first report; the leak
# suppressions are the same narrow list.
export ASAN_OPTIONS="halt_on_error=1:detect_stack_use_after_return=0:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

for t in "${targets[@]}"; do
  program="$build/bin/fuzz_$t"
  seeds="$here/fuzz/corpus/$t"
  work="$build/fuzz-work/$t"
  [ -x "$program" ] || { echo "fuzz: $program is not built" >&2; exit 1; }
  mkdir -p "$work/corpus"
  echo "== fuzz_$t: replaying $(find "$seeds" -type f | wc -l) kept inputs"
  find "$seeds" -type f -print0 | sort -z | xargs -0 "$program" -runs=1 >"$work/replay.log" 2>&1 || {
    cat "$work/replay.log" >&2
    echo "fuzz: a kept input of $t fails" >&2
    exit 1
  }
  echo "== fuzz_$t: fuzzing for ${seconds}s"
  start=$(date +%s)
  if ! (cd "$work" && "$program" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" >"$work/fuzz.log" 2>&1); then
    tail -n 60 "$work/fuzz.log" >&2
    echo "fuzz: fuzz_$t found a fault; its input is in $work" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$work/fuzz.log" || true
  echo "== fuzz_$t: $(( $(date +%s) - start ))s, corpus $(find "$work/corpus" -type f | wc -l) inputs"
done
