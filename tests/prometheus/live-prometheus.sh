#!/bin/sh
# live-prometheus.sh AMPWELL PROMETHEUS RULES SIMULATION: a real Prometheus scrapes the metrics
# server on the loopback, once a second, and evaluates the shipped alert rules. Passes when its
# query API holds every device of SIMULATION and the drain alert fires for exactly the draining
# ones while no other alert does. The rules' `for` durations are cut to a few seconds here (their
# full lengths are covered by `promtool test rules`); expressions, labels and wiring are the
# shipped ones. Every wait is bounded; the whole run takes about a minute.
set -eu
ampwell=$1 prometheus=$2 rules=$3 simulation=$4
work=$(mktemp -d)
server= scraper=
cleanup() {
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    [ -z "$scraper" ] || kill "$scraper" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "$*" >&2
    echo "--- server log" >&2
    cat "$work/server.log" >&2
    echo "--- last lines of the Prometheus log" >&2
    tail -n 20 "$work/prometheus.log" >&2
    exit 1
}
# wait_for FILE PATTERN: the line of FILE matching PATTERN, within 20 s.
wait_for() {
    tries=0
    while ! grep -q "$2" "$1" 2>/dev/null; do
        tries=$((tries + 1))
        [ "$tries" -le 200 ] || fail "nothing matched '$2' in $1"
        sleep 0.1
    done
    grep -m1 "$2" "$1"
}

AMPWELL_SIMULATION=$simulation "$ampwell" --serve-metrics 127.0.0.1:0 >"$work/server.log" 2>&1 &
server=$!
target=$(wait_for "$work/server.log" '^ampwell: serving metrics at ' | sed 's|.*http://\([^/]*\)/metrics|\1|')

sed 's/^\( *for:\).*/\1 3s/' "$rules" >"$work/rules.yml"
cat >"$work/prometheus.yml" <<EOF
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files:
  - $work/rules.yml
scrape_configs:
  - job_name: ampwell
    static_configs:
      - targets: ['$target']
EOF
"$prometheus" --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/data" \
    --web.listen-address=127.0.0.1:0 >"$work/prometheus.log" 2>&1 &
scraper=$!
api=http://$(wait_for "$work/prometheus.log" 'msg="Listening on"' | sed 's/.*address=//')/api/v1

# query EXPRESSION: the number of series the instant query returns.
query() {
    curl --silent --fail --max-time 5 --get --data-urlencode "query=$1" "$api/query" | jq '.data.result | length'
}
# firing NAME: the serials of the devices for which alert NAME fires, sorted, one line.
firing() {
    curl --silent --fail --max-time 5 "$api/alerts" |
        jq -r --arg name "$1" '[.data.alerts[] | select(.labels.alertname == $name and .state == "firing")
                                | .labels.serial] | sort | join(" ")'
}

devices=$(jq '.mobileDevices | length' "$simulation")
draining="00008103-00043C0A81CE801E 00008103-00083C0A81CE801E"

deadline=$(($(date +%s) + 120))
while :; do
    seen=$(query 'ampwell_device_battery_ratio{job="ampwell"}' || echo 0)
    alerts=$(firing AmpwellDeviceDrainingOnExternalPower || true)
    [ "$seen" = "$devices" ] && [ "$alerts" = "$draining" ] && break
    [ "$(date +%s)" -lt "$deadline" ] ||
        fail "after 120 s: $seen of $devices devices in Prometheus, the drain alert firing for '$alerts'"
    sleep 2
done

[ "$(query 'up{job="ampwell"} == 1')" = 1 ] || fail "the scrape target is not up"
[ "$(query 'count by (serial) (ampwell_device_supply == 1)')" = "$devices" ] ||
    fail "not every device has exactly one supply state"
low=$(firing AmpwellDeviceSupplyBelowThreshold)
[ "$low" = "$draining" ] || fail "the low-supply alert fires for '$low', not for '$draining'"
for quiet in AmpwellDeviceReadingsStale AmpwellExporterDown; do
    [ -z "$(firing "$quiet")" ] || fail "$quiet fires although nothing is wrong"
done
echo "Prometheus holds $devices devices; the drain and low-supply alerts fire for $draining"
