#!/bin/sh
# Takes the README screenshots of the main window and the serial settings dialog under Xvfb,
# with the demo table and docs/screenshots/demo.bin, then the whole desk with the main and the
# link window at 1024x768 and 1920x1080. Needs xvfb-run and xdotool; build first:
#   cmake --build build --target kvrsetup kvrsim kvr_grab_screen
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
APP=$(mktemp -d)
cp build/bin/kvrsetup build/bin/Data.ini "$APP/"
cp docs/screenshots/demo.bin "$APP/"
printf 'Data.ini\r\n' > "$APP/Const.ini"
printf '%s\r\n/dev/ttyUSB0\r\n 19200 \r\nn\r\n 8 \r\n 1 \r\n\r\n\r\n\r\n\r\n 0 \r\n 0 \r\n' "$APP/demo.bin" > "$APP/Default.ini"
cat > "$APP/shots.sh" <<SHOTS
KVRSETUP_HOME="$APP" "$APP/kvrsetup" -qwindowgeometry 1280x800+0+0 &
P=\$!
sleep 4
M=\$(xdotool search --name "Настройки терминала" | head -1)
xdotool windowfocus --sync \$M
# Event 17 ("Дискретный вход 2"): check boxes and value boxes mixed, masks set.
for i in \$(seq 17); do xdotool key Down; done
sleep 1
"$ROOT/build/bin/kvr_grab_screen" "$ROOT/docs/screenshots/main-window.png"
# F10, "Сервис", "Настройки связи".
xdotool key F10 Right Down Return
sleep 1.5
W=\$(xdotool search --name "^Настройки связи\\\$" | head -1)
eval \$(xdotool getwindowgeometry --shell \$W)
"$ROOT/build/bin/kvr_grab_screen" "$ROOT/docs/screenshots/comm-setup.png" \$X \$Y \$WIDTH \$HEIGHT
kill \$P
SHOTS
LANG=C.UTF-8 xvfb-run -a -s "-screen 0 1280x800x24" sh "$APP/shots.sh"

# The whole desk at the smallest and a large common screen, each window at its own first size:
# the main window, then the link window over it, talking to the simulator.
cp build/bin/kvrsim "$APP/"
for SIZE in 1024x768 1920x1080; do
cat > "$APP/desk.sh" <<SHOTS
"$APP/kvrsim" > "$APP/sim.out" &
S=\$!
sleep 1
DEV=\$(head -1 "$APP/sim.out")
printf '%s\\r\\n%s\\r\\n 19200 \\r\\nn\\r\\n 8 \\r\\n 1 \\r\\n\\r\\n\\r\\n\\r\\n\\r\\n 0 \\r\\n 0 \\r\\n' "$APP/demo.bin" "\$DEV" > "$APP/Default.ini"
KVRSETUP_HOME="$APP" "$APP/kvrsetup" &
P=\$!
sleep 4
M=\$(xdotool search --name "Настройки терминала" | head -1)
xdotool windowfocus --sync \$M
"$ROOT/build/bin/kvr_grab_screen" "$ROOT/docs/screenshots/desk-$SIZE-main.png"
# F10, "Сервис", "Удаленная загрузка ПО"; the modem check runs against the simulator.
xdotool key F10 Right Down Down Return
sleep 8
"$ROOT/build/bin/kvr_grab_screen" "$ROOT/docs/screenshots/desk-$SIZE-link.png"
kill \$P \$S
SHOTS
LANG=C.UTF-8 xvfb-run -a -s "-screen 0 ${SIZE}x24" sh "$APP/desk.sh"
done
rm -rf "$APP"
