#!/usr/bin/env bash
# Runs the desktop window under Xvfb on a copy of the example document, driven by
# window_self_test.txt. Usage: run_window_test.sh PROGRAM SOURCE_DIR BINARY_DIR
set -euo pipefail
program=$1
source_dir=$2
binary_dir=$3

if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "SKIPPED: xvfb-run is not installed (scripts/install-deps installs it)"
  exit 77
fi

work="$binary_dir/desktop-window-test"
rm -rf "$work"
mkdir -p "$work"
cp "$source_dir/examples/garden.skep" "$work/garden.skep"
sed "s|@SCREENSHOT@|$binary_dir/desktop-window.png|" \
  "$source_dir/tests/desktop/window_self_test.txt" > "$work/script.txt"

# GTK, GLib, fontconfig, Pango and Cairo keep caches until the process ends; only those
# are suppressed, never our own code.
export LSAN_OPTIONS="suppressions=$source_dir/tests/desktop/lsan_gtk.supp:print_suppressions=0"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export GDK_BACKEND=x11
export GSK_RENDERER=cairo
export GTK_A11Y=none
export NO_AT_BRIDGE=1
export GSETTINGS_BACKEND=memory
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export HOME="$work"
export FERNWEAVE_NOW=2009-05-10T09:00:00

xvfb-run -a -s "-screen 0 1280x800x24" \
  "$program" "$work/garden.skep" --config "$source_dir/config" --self-test "$work/script.txt"
echo "screenshot: $binary_dir/desktop-window.png"
