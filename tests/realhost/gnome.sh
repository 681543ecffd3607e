#!/usr/bin/env bash
# shellcheck disable=SC2317 # the functions are called through `within` and the trap, which it cannot follow
# The application against the real GNOME Shell 43 with its AppIndicator extension, headless
# (Wayland with a virtual monitor), on the private session bus ctest gives it (dbus-run-session
# with the sealed bus configuration) and a private, empty system bus. Ten starts of the program:
# in the odd ones the extension is switched off first and on again once the program is up (the
# tray host comes after the program, as at login, and the host scans the bus for items), in the
# even ones the host is there first. In each the item is shown in the top bar within 15 s, exactly
# once, is still shown 3 s later (the extension used to drop it about 1.2 s after it came), carries
# the chosen display mode's text beside its icon, and is gone once the program ends; the shell's
# log never says "may not be null".
# Usage: gnome.sh AMPWELL_BINARY SOURCE_DIR BUS_CONFIG
set -uo pipefail
binary="$1"
source_dir="$2"
bus_config="$3"
indicators=ubuntu-appindicators@ubuntu.com
probe=tray-probe@ampwell.test
if ! command -v gnome-shell > /dev/null || [ ! -d "/usr/share/gnome-shell/extensions/${indicators}" ]; then
  echo "SKIP: gnome-shell or its AppIndicator extension is not installed"
  exit 77
fi
work="$(mktemp -d)"
pids=()
app=""
cleanup() {
  [ -n "${app}" ] && kill "${app}" 2>/dev/null
  for pid in "${pids[@]}"; do kill "${pid}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "${work}"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "items: $(items)"
  for log in "${work}"/*.log; do echo "--- ${log##*/}"; grep -v "IconCache\|Unhandled property" "${log}" | tail -n 25; done
  exit 1
}
# shellcheck source=SCRIPTDIR/within.sh
source "${source_dir}/tests/realhost/within.sh"

export HOME="${work}/home" XDG_CONFIG_HOME="${work}/home/config" XDG_CACHE_HOME="${work}/home/cache"
export XDG_DATA_HOME="${work}/home/data" XDG_STATE_HOME="${work}/home/state" XDG_RUNTIME_DIR="${work}/run"
export XDG_CURRENT_DESKTOP=GNOME LC_ALL=C.UTF-8 NO_AT_BRIDGE=1 GIO_USE_VFS=local
# GSettings in a key file of the temporary home: the shell reads its extensions from it, and no
# dconf service of the machine is asked.
export GSETTINGS_BACKEND=keyfile
unset DISPLAY WAYLAND_DISPLAY
ulimit -c 0
mkdir -p "${XDG_CONFIG_HOME}/glib-2.0/settings" "${XDG_DATA_HOME}/gnome-shell/extensions" "${XDG_RUNTIME_DIR}"
chmod 700 "${XDG_RUNTIME_DIR}"
cp -r "${source_dir}/tests/realhost/${probe}" "${XDG_DATA_HOME}/gnome-shell/extensions/"
cat > "${XDG_CONFIG_HOME}/glib-2.0/settings/keyfile" << EOF
[org/gnome/shell]
enabled-extensions=['${indicators}', '${probe}']
welcome-dialog-last-shown-version='999'
EOF

# The desk with the iPad's power as the chosen display mode.
python3 - "${source_dir}/examples/desk.json" "${work}/desk.json" << 'PY'
import json, sys
desk = json.load(open(sys.argv[1]))
desk.setdefault("defaults", {})["menuDisplayMode"] = "ipad"
json.dump(desk, open(sys.argv[2], "w"), ensure_ascii=False)
PY

# The shell asks the login manager and others on the system bus; an empty one of our own.
dbus-daemon --config-file="${bus_config}" --nofork --print-address=3 3> "${work}/system-bus" 2> /dev/null &
pids+=($!)
within 5 test -s "${work}/system-bus" || fail "no system bus"
DBUS_SYSTEM_BUS_ADDRESS="$(head -n 1 "${work}/system-bus")"
export DBUS_SYSTEM_BUS_ADDRESS

G_MESSAGES_DEBUG=Ubuntu-AppIndicators gnome-shell --headless --wayland --virtual-monitor 1280x800 \
  > "${work}/shell.log" 2>&1 &
pids+=($!)

items() {
  gdbus call --session -d org.gnome.Shell -o /org/ampwell/TrayProbe -m org.ampwell.TrayProbe.Items 2> /dev/null
}
probe_up() { items > /dev/null; }
within 60 probe_up || fail "GNOME Shell did not come up with the probe extension"
extension() {
  gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m "org.gnome.Shell.Extensions.$1" "${indicators}" \
    > /dev/null || fail "$1 failed"
}
watcher_items() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
    -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2> /dev/null
}
watcher_up() { watcher_items > /dev/null; }
watcher_gone() { ! watcher_up; }
count() { grep -o "$1" | wc -l; }
shown_once() {
  local now
  now="$(items)"
  [ "$(count "id=" <<< "${now}")" -eq 1 ] && [ "$(count "mapped=true" <<< "${now}")" -eq 1 ] &&
    [ "$(watcher_items | count "StatusNotifierItem")" -eq 1 ]
}
none_shown() { [ "$(items | count "id=")" -eq 0 ]; }
within 30 watcher_up || fail "the AppIndicator extension did not start"

for start in 1 2 3 4 5 6 7 8 9 10; do
  if ((start % 2 == 1)); then
    extension DisableExtension
    within 10 watcher_gone || fail "start ${start}: the extension's watcher stayed"
  fi
  GDK_BACKEND=wayland WAYLAND_DISPLAY=wayland-0 AMPWELL_UI=desktop AMPWELL_SIMULATION="${work}/desk.json" \
    "${binary}" > "${work}/ampwell-${start}.log" 2>&1 &
  app=$!
  if ((start % 2 == 1)); then
    sleep 1
    kill -0 "${app}" || fail "start ${start}: the application ended before the host came up"
    extension EnableExtension
  fi
  within 15 shown_once || fail "start ${start}: the item was not shown exactly once in the top bar"
  sleep 3
  shown_once || fail "start ${start}: the item was dropped or doubled within 3 s"
  items | grep -q "label=iPad [^ ]* W'" || fail "start ${start}: the top bar does not show the iPad's power beside the icon"
  grep -q "may not be null" "${work}/shell.log" && fail "start ${start}: the extension failed on a null value"
  kill "${app}"
  wait "${app}" 2> /dev/null
  app=""
  within 10 none_shown || fail "start ${start}: the item stayed after the application ended"
  echo "ok: start ${start}: shown once, kept, labelled"
done
echo "ok: the item stayed in the top bar in 10 of 10 starts"
exit 0
