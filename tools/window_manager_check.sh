#!/usr/bin/env bash
# What only a real window manager shows, checked under Xvfb and openbox, driven with xdotool:
# the main window's stored bounds over restarts, the new-catalog dialog's geometry as its
# advanced part is shown and hidden, and the main window's accelerators after a wait window.
# Prints what it sees; needs build/app (tools/test.sh builds it) and the extras of
# tools/packages.sh --with-extras.
set -u
top="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" != "--on-display" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --on-display 2>&1 | grep -v '^XGetInputFocus\|^X Error\|^  '
  exit "${PIPESTATUS[0]}"
fi
build="$top/build/app"
work=$(mktemp -d)
p=$work/Vellumark; mkdir -p $p; cp $build/vellumark $build/vellumark-cli $p/
mkdir -p $work/disc/sub; for i in 1 2 3; do echo x > $work/disc/sub/a$i.txt; done
$p/vellumark-cli --home $p scan $work/disc --name Disc > /dev/null
openbox > /dev/null 2>&1 & ob=$!
sleep 1
frame() { grep -o '<frame [^>]*>' $p/VellumarkConfig.xml; }
start() { (cd $p && exec ./vellumark) > /dev/null 2>&1 & app=$!; win=$(xdotool search --sync --onlyvisible --name '^Vellumark 4'); sleep 1.5; xdotool windowactivate --sync $win 2>/dev/null; sleep 0.5; }
stop() { xdotool windowactivate --sync $win 2>/dev/null; xdotool key alt+F4; wait $app; }
# Start once to create the configuration, set the frame, then restart and read it back.
start; stop
sed -i 's/<frame [^>]*>/<frame max="False" left="100" top="80" height="600" width="800">/' $p/VellumarkConfig.xml
echo "bounds set:   $(frame)"
for round in 1 2 3; do start; stop; echo "bounds after $round: $(frame)"; done
# The new-catalog dialog (Alt+N), its advanced part shown and hidden twice (Alt+A).
start
xdotool key alt+n; dlg=$(xdotool search --sync --onlyvisible --name '^Create a New Catalog'); sleep 0.8
g() { xdotool getwindowgeometry $dlg | tr '\n' ' ' | sed 's/Window [0-9]* //'; }
echo "new-catalog dialog start:  $(g)"
for round in 1 2; do
  xdotool key alt+a; sleep 0.8; echo "new-catalog dialog shown:  $(g)"
  xdotool key alt+a; sleep 0.8; echo "new-catalog dialog hidden: $(g)"
done
xdotool key Escape; sleep 0.5
# A search (the wait window shows and closes), then Alt+N must open the dialog again.
xdotool key alt+s; sdlg=$(xdotool search --sync --onlyvisible --name '^File Search'); sleep 0.8
xdotool mousemove 757 209 click 1; sleep 0.3; xdotool type a; sleep 0.3; xdotool key Return; sleep 2;
echo "accelerators search dialog gone: $(xdotool search --onlyvisible --name '^File Search' | wc -l | sed 's/^0$/yes/')"
xdotool key alt+n; sleep 1.5
echo "accelerators Alt+N after the wait window opened: $(xdotool search --onlyvisible --name '^Create a New Catalog' | wc -l)"
xdotool key Escape; sleep 0.5
stop
kill $ob; rm -rf $work
