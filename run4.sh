#!/bin/sh
CE_COM6=/tmp/wgx/tty CE_ROOT=/tmp/wgx/none /work/wt-window-gang/build/korvane $KA > /tmp/wgx/out4.txt 2>&1 &
while [ -z "$(xdotool search --class '^Korvane$')" ]; do sleep 0.05; done
id=$(xdotool search --class '^Korvane$')
sleep 0.5
xprop -id $id | grep -iE "hints|input|state|override" 
xdotool windowfocus $id; sleep 0.2; echo "focus $(xdotool getwindowfocus) id $id"
xdotool key --delay 60 Tab space; sleep 1
xdotool search --class '^KorvaneMessageBox$' getwindowname
kill %1
