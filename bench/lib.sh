# Shared by the bench scripts: timing, medians and the summary table that
# bench/run prints at the end. Sourced, not run.

now() { date +%s.%N; }
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f}')" "$1" "$2"; }
median() { python3 -c "import sys, statistics; print(f'{statistics.median(map(float, sys.argv[1:])):.2f}')" "$@"; }
rate() { python3 -c "import sys; print(f'{int(sys.argv[1]) / max(float(sys.argv[2]), 1e-9):,.0f}')" "$1" "$2"; }
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / max(float(sys.argv[2]), 1e-9):.2f}')" "$1" "$2"; }

# Runs "$@" and prints its wall time in seconds; its output goes to /dev/null.
timed() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null
  t1=$(now)
  elapsed "$t0" "$t1"
}

# summary LABEL OURS REFERENCE-NAME REFERENCE GOAL: one line of the table
# bench/run prints (ratio = ours / reference: below 1 is faster).
summary() {
  local file="${VELTRANO_BENCH_SUMMARY:-/dev/null}"
  printf '%-34s %8s  %-38s %8s  %6sx  %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")" "$5" >> "$file"
}
