#!/bin/sh
t0=$(date +%s.%N)
CE_COM6=/tmp/wgx/tty CE_ROOT=/tmp/wgx/none /work/wt-window-gang/build/korvane --fullscreen > /tmp/wgx/out3.txt 2>&1 &
while [ -z "$(xdotool search --class '^Korvane$')" ]; do sleep 0.05; done
id=$(xdotool search --class '^Korvane$')
echo "window $(echo "$(date +%s.%N) - $t0" | bc)"
xdotool windowfocus $id key --delay 60 Tab space
echo "keys $(echo "$(date +%s.%N) - $t0" | bc)"
while [ -z "$(xdotool search --class '^KorvaneMessageBox$')" ]; do sleep 0.05; done
echo "box $(echo "$(date +%s.%N) - $t0" | bc)"
xdotool search --class '^KorvaneMessageBox$' getwindowname
kill %1
