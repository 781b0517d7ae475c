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

# Waits (up to 60 s) until the server has written out the pages earlier
# loads left dirty, and the system the files earlier runs wrote, so that no
# method is timed while the machine is still busy with the one before it.
# Uses the script's sql function.
settle() {
  sync
  sql -e "SET GLOBAL innodb_max_dirty_pages_pct = 0, GLOBAL innodb_max_dirty_pages_pct_lwm = 0" 2>/dev/null || true
  local dirty
  for _ in $(seq 1 120); do
    dirty=$(sql -N -e "SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_pages_dirty'" 2>/dev/null | awk '{print $2}')
    [ "${dirty:-0}" -le 0 ] && break
    sleep 0.5
  done
}
