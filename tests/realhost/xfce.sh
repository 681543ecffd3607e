#!/usr/bin/env bash
# shellcheck disable=SC2317 # the functions are called through `within` and the trap, which it cannot follow
# The application against the real Xfce tray host and notification service from Debian, on the
# display and private session bus ctest gives it (xvfb-run, dbus-run-session with the sealed bus
# configuration): started before the panel, as the autostart entry is, its item registers when
# the panel comes up; the low-power warning is shown, still open 15 s later, and its reset button
# reaches the application.
# Usage: xfce.sh AMPWELL_BINARY SOURCE_DIR
set -uo pipefail
binary="$1"
source_dir="$2"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "${pid}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "${work}"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
    echo "window ${w}: $(xdotool getwindowname "${w}" 2>/dev/null) $(xprop -id "${w}" WM_CLASS 2>/dev/null)"
  done
  for log in "${work}"/*.log; do echo "--- ${log##*/}"; tail -n 20 "${log}"; done
  exit 1
}
# shellcheck source=SCRIPTDIR/within.sh
source "${source_dir}/tests/realhost/within.sh"

export HOME="${work}/home" XDG_CONFIG_HOME="${work}/home/config" XDG_CACHE_HOME="${work}/home/cache"
export XDG_DATA_HOME="${work}/home/data" XDG_RUNTIME_DIR="${work}/run" XDG_CURRENT_DESKTOP=XFCE
export GTK_THEME=Adwaita NO_AT_BRIDGE=1 GDK_BACKEND=x11 GSETTINGS_BACKEND=memory GIO_USE_VFS=local
mkdir -p "${XDG_CONFIG_HOME}/xfce4/xfconf/xfce-perchannel-xml" "${XDG_RUNTIME_DIR}"
chmod 700 "${XDG_RUNTIME_DIR}"
cp "${source_dir}/tests/realhost/xfce4-panel.xml" "${XDG_CONFIG_HOME}/xfce4/xfconf/xfce-perchannel-xml/"

# The silent-ports desk, ten times faster, so that its iPad's charge falls within a minute, and
# without what happens after (the iPad moves to another port, which ends the incident).
python3 - "${source_dir}/examples/silent-ports.json" "${work}/desk.json" <<'PY'
import json, sys
desk = json.load(open(sys.argv[1]))
desk["clock"]["speed"] = 10
desk["clock"]["until"] = 100000
desk["timeline"] = [event for event in desk["timeline"] if event["at"] < 400]
json.dump(desk, open(sys.argv[2], "w"), ensure_ascii=False)
PY

dbus-monitor --session "interface='org.freedesktop.Notifications'" > "${work}/bus.log" 2>&1 &
pids+=($!)
AMPWELL_SIMULATION="${work}/desk.json" "${binary}" > "${work}/ampwell.log" 2>&1 &
app=$!
pids+=("${app}")
/usr/lib/x86_64-linux-gnu/xfce4/notifyd/xfce4-notifyd > "${work}/notifyd.log" 2>&1 &
pids+=($!)
# The login race: the panel comes up three seconds after the application.
sleep 3
kill -0 "${app}" || fail "the application ended before the panel came up"
/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd > "${work}/xfconfd.log" 2>&1 &
pids+=($!)
xfce4-panel --disable-wm-check > "${work}/panel.log" 2>&1 &
pids+=($!)

registered() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems \
    2>/dev/null | grep -q ":1\."
}
within 20 registered || fail "the item did not register with xfce4-panel"
echo "ok: the item registered with the panel that started after it"

warned() { grep -q "iPad 可能供电不足" "${work}/bus.log"; }
within 90 warned || fail "no low-power warning was posted"
notification_window() { xdotool search --onlyvisible --name '^xfce4-notifyd$' 2>/dev/null | head -n 1; }
bubble_shown() { [ -n "$(notification_window)" ]; }
within 20 bubble_shown || fail "xfce4-notifyd shows no window"
echo "ok: the warning is on screen"
sleep 15
grep -q "member=NotificationClosed" "${work}/bus.log" && fail "the warning was closed within 15 s"
window="$(notification_window)"
[ -n "${window}" ] || fail "the warning's window is gone after 15 s"
echo "ok: the warning is still open 15 s later"

# Its first button, the reset, sits at the bottom left of the bubble.
eval "$(xdotool getwindowgeometry --shell "${window}")"
clicked() {
  grep -q "member=ActionInvoked" "${work}/bus.log"
}
for dy in 22 18 28 14 34; do
  for fx in 4 3 6; do
    xdotool mousemove $((X + WIDTH / fx)) $((Y + HEIGHT - dy)) click 1
    sleep 0.5
    clicked && break 2
  done
done
clicked || fail "no click on the warning's reset button reached the notification service"
grep -A2 "member=ActionInvoked" "${work}/bus.log" | grep -q "reset-ipad-usb" || fail "the action invoked was not the reset"
# The reset reaches the application: it answers with a dialog, and withdraws the warning.
dialog() { xdotool search --onlyvisible --name '^Ampwell$' > /dev/null 2>&1; }
within 10 dialog || fail "the application showed no dialog after the reset action"
echo "ok: the reset action reached the application"
exit 0
