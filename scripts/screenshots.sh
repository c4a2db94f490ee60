#!/bin/sh
# Takes the README screenshots of the main window and the serial settings dialog under Xvfb,
# with the demo table and docs/screenshots/demo.bin. Needs xvfb-run and xdotool; build first:
#   cmake --build build --target kvrsetup kvr_grab_screen
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
rm -rf "$APP"
