#!/usr/bin/env bash
# Starts namewrightd on loopback with a temporary database and a seeded
# organisation, logs in with qrdlogin and drives the attribute, list and
# membership functions from a C program; then kills the daemon with SIGKILL,
# starts it again and checks that what was written is still there.
#   attr_check.sh BUILD_DIR
set -euo pipefail
build=$1
daemon=$build/services/namewrightd/namewrightd
login=$build/services/login/qrdlogin
check=$build/tests/outside/attr_check

work=$(mktemp -d /tmp/qrdattr-XXXXXX)
daemon_pid=""
cleanup() {
    [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null && wait "$daemon_pid" 2>/dev/null
    rm -f /dev/shm/*".qrdattr$$" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A port base that no other running test holds (the slots of the test suite).
for slot in $(seq 0 39); do
    exec {lockfd}>"/tmp/qrd-test-portbase-$slot.lock"
    if flock -n "$lockfd"; then base=$((10240 + slot * 512)); break; fi
    exec {lockfd}>&-
done
[ -n "${base:-}" ] || { echo "no free port base"; exit 1; }

cat >"$work/QORDA.INI" <<INI
[CommStack]
ServerAddress=127.0.0.1
BroadcastAddress=127.255.255.255
PortBase=$base

[Internet]
SearchAddress=127.0.0.1
SearchPort=$((base + 511))
INI
export QORDA_INI=$work/QORDA.INI QRD_WORKSTATION=qrdattr$$ XDG_CONFIG_HOME=$work/config \
       XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work QRD_SYSCONF_DIR=$work/etc
unset DBUS_SESSION_BUS_ADDRESS HLV_PROTSEQ

db=$work/dir.db
"$daemon" seed --db "$db" --kdf-iterations 1000 - <<SEED
org add Demo
group add Sales@Demo
group add Support@Demo
server add NW1@Sales@Demo 127.0.0.1
user add alice@Sales@Demo --password "alice pass" --description "Alice Archer" --admin
user add bob@Sales@Demo --password "bob pass" --description "Bob Baker"
user add carol@Support@Demo --password "carol pass" --description "Carol Clark"
list add Team@Sales@Demo
member add Team@Sales@Demo bob@Sales@Demo
member add Team@Sales@Demo Support@Demo
service add FILES@Sales@Demo --class file
service add PRINT@Support@Demo --class print
SEED

start_daemon() {
    : >"$work/daemon.out"
    "$daemon" serve --db "$db" --server-name NW1@Sales@Demo --ip-port $((base + 511)) \
        >"$work/daemon.out" 2>>"$work/daemon.err" &
    daemon_pid=$!
    for _ in $(seq 1 200); do
        grep -q "namewrightd ready" "$work/daemon.out" 2>/dev/null && break
        kill -0 "$daemon_pid" 2>/dev/null || { cat "$work/daemon.err"; exit 1; }
        sleep 0.05
    done
    grep -q "namewrightd ready" "$work/daemon.out" || { echo "daemon not ready"; exit 1; }
}

start_daemon
echo "bob pass" | "$login" login bob@Sales@Demo | grep -q "Logged in as bob@Sales@Demo"
"$check" all

# Acknowledged writes survive a crash of the daemon.
kill -9 "$daemon_pid"; wait "$daemon_pid" 2>/dev/null || true; daemon_pid=""
start_daemon
"$check" survived
"$login" logout >/dev/null
echo "attribute check passed"
