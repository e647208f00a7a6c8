# Sourced by the outside checks: a workstation of their own on loopback and
# a namewrightd to talk to.
#   source workstation.sh BUILD_DIR NAME
# Sets: daemon, login, work (temporary folder), base (port base), db; exports
# the workstation's environment; defines start_daemon and stops the daemon and
# removes everything at exit.
build=$1
daemon=$build/services/namewrightd/namewrightd
login=$build/services/login/qrdlogin
ws_id=$2$$

work=$(mktemp -d "/tmp/$2-XXXXXX")
daemon_pid=""
ws_cleanup() {
    if [ -n "$daemon_pid" ]; then
        kill "$daemon_pid" 2>/dev/null && wait "$daemon_pid" 2>/dev/null
    fi
    rm -f /dev/shm/*".$ws_id" 2>/dev/null || true
    rm -rf "$work"
}
trap ws_cleanup EXIT

# A port base that no other running test holds (the slots of tests/support/portslot.h).
base=""
for slot in $(seq 0 39); do
    exec {lockfd}>"/tmp/qrd-test-portbase-$slot.lock"
    if flock -n "$lockfd"; then base=$((10240 + slot * 512)); break; fi
    exec {lockfd}>&-
done
[ -n "$base" ] || { echo "no free port base"; exit 1; }

cat >"$work/QORDA.INI" <<INI
[CommStack]
ServerAddress=127.0.0.1
BroadcastAddress=127.255.255.255
PortBase=$base

[Internet]
SearchAddress=127.0.0.1
SearchPort=$((base + 511))
INI
export QORDA_INI=$work/QORDA.INI QRD_WORKSTATION=$ws_id XDG_CONFIG_HOME=$work/config \
       XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work QRD_SYSCONF_DIR=$work/etc
unset DBUS_SESSION_BUS_ADDRESS HLV_PROTSEQ
db=$work/dir.db

# Starts the daemon on $db as NW1@Sales@Demo and waits for its ready line.
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

stop_daemon() {
    kill "${1:--TERM}" "$daemon_pid"
    wait "$daemon_pid" 2>/dev/null || true
    daemon_pid=""
}
