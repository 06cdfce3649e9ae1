#!/usr/bin/env bash
# Runs every benchmark: the Google Benchmark programs, then the end-to-end
# scripts inside the virtual desktop at 1920x1080 and 3840x2160 (the overlay
# also with a compositing manager).
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  case "$(basename "$program")" in
    bench_grab|bench_overlay|bench_scrolling) continue ;; # need a desktop: run below
    bench_presskey) continue ;;           # a tool of the scripts, not a benchmark
    bench_recording_*) continue ;;        # tools of recording.py
    bench_ocr_corpus) continue ;;         # renders the corpus that bench_ocr reads
    bench_ocr)
      echo "== $(basename "$program")"
      "$build/bench/bench_ocr_corpus" && "$program"
      continue ;;
  esac
  echo "== $(basename "$program")"
  "$program" --benchmark_repetitions=1
done
for size in 1920x1080 3840x2160; do
  echo "== end to end at $size"
  "$here/../scripts/desktop.sh" run --monitors "$size" -- bash -c "
    for p in '$build'/bench/bench_grab '$build'/bench/bench_overlay; do
      [ -x \"\$p\" ] && \"\$p\"
    done
    '$here/fullscreen.py' '$build/zorv' 20
    '$here/latency.py' '$build/zorv' 20"
done
echo "== settings window at 1920x1080"
"$here/../scripts/desktop.sh" run --monitors 1920x1080 --no-keyring -- \
  "$here/settings_window.py" "$build/zorv" 10
for size in 1920x1080 3840x2160; do
  for compositor in none xcompmgr; do
    echo "== overlay at $size, compositor: $compositor"
    "$here/../scripts/desktop.sh" run --monitors "$size" --compositor "$compositor" \
      --no-audio --no-keyring -- "$here/overlay.py" "$build/zorv" 20
    echo "== tray panel at $size, compositor: $compositor"
    "$here/../scripts/desktop.sh" run --monitors "$size" --compositor "$compositor" \
      --no-audio --no-keyring -- "$here/tray.py" "$build/zorv" 20
  done
done
for size in 1920x1080 3840x2160; do
  echo "== editor window at $size"
  "$here/../scripts/desktop.sh" run --monitors "$size" --no-audio --no-keyring -- \
    "$here/editor_window.py" "$build/zorv" 10
done
for size in 1920x1080 3840x2160; do
  for compositor in none xcompmgr; do
    echo "== quick-access panel at $size, compositor: $compositor"
    "$here/../scripts/desktop.sh" run --monitors "$size" --compositor "$compositor" \
      --no-audio --no-keyring -- "$here/quick_access.py" "$build/zorv" 10
  done
done
for entries in 500 5000; do
  echo "== history window, $entries entries"
  "$here/../scripts/desktop.sh" run --monitors 1920x1080 --no-audio --no-keyring -- \
    "$here/history_window.py" "$build/zorv" "$entries" 10
done
echo "== scrolling capture at 1920x1080"
"$here/../scripts/desktop.sh" run --monitors 1920x1080 --no-audio --no-keyring -- bash -c "
  '$build/bench/bench_scrolling'
  '$here/scrolling.py' '$build/zorv' '$build/tests/zorv-scroll-page'"
