#!/bin/sh
# check-scrape.sh AMPWELL PROMTOOL SIMULATION: serves SIMULATION on a free loopback port, scrapes
# it once and has promtool check the exposition (its syntax and Prometheus' naming rules).
# Every wait is bounded: the server gets 10 s to say where it listens, the scrape 10 s to answer.
set -eu
ampwell=$1 promtool=$2 simulation=$3
log=$(mktemp)
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -f "$log"
}
trap cleanup EXIT
AMPWELL_SIMULATION=$simulation "$ampwell" --serve-metrics 127.0.0.1:0 >"$log" 2>&1 &
pid=$!
tries=0
while ! grep -q '^ampwell: serving metrics at ' "$log"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo "the server did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done
url=$(sed -n 's/^ampwell: serving metrics at //p' "$log")
scrape=$(curl --silent --show-error --fail --max-time 10 "$url")
printf '%s\n' "$scrape" | "$promtool" check metrics
# The cart's two iPads on weak ports are judged low; every device has a verdict.
printf '%s\n' "$scrape" | grep -c 'ampwell_device_supply="low"} 1' | grep -qx 2
