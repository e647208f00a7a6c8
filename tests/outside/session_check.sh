#!/usr/bin/env bash
# Starts namewrightd on loopback with a temporary database, creates users
# with the administration command, logs in with qrdlogin and drives the
# session and name functions from a C program.
#   session_check.sh BUILD_DIR
set -euo pipefail
build=$1
daemon=$build/services/namewrightd/namewrightd
login=$build/services/login/qrdlogin
check=$build/tests/outside/session_check

work=$(mktemp -d /tmp/qrdoutside-XXXXXX)
daemon_pid=""
cleanup() {
    [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null && wait "$daemon_pid" 2>/dev/null
    rm -f /dev/shm/*".qrdsess$$" 2>/dev/null || true
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
export QORDA_INI=$work/QORDA.INI QRD_WORKSTATION=qrdsess$$ XDG_CONFIG_HOME=$work/config \
       XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work QRD_SYSCONF_DIR=$work/etc
unset DBUS_SESSION_BUS_ADDRESS HLV_PROTSEQ

db=$work/dir.db
admin() { "$daemon" admin --db "$db" --kdf-iterations 1000 "$@"; }
admin org add Demo
admin group add Sales@Demo
admin group add Support@Demo
admin server add NW1@Sales@Demo 127.0.0.1
echo "s3cret pass" | admin user add alice@Sales@Demo
echo "bob-pass" | admin user add bob@Sales@Demo
echo "carol-pass" | admin user add carol@Support@Demo

"$daemon" serve --db "$db" --server-name NW1@Sales@Demo --ip-port $((base + 511)) \
    >"$work/daemon.out" 2>"$work/daemon.err" &
daemon_pid=$!
for _ in $(seq 1 200); do
    grep -q "namewrightd ready" "$work/daemon.out" 2>/dev/null && break
    kill -0 "$daemon_pid" 2>/dev/null || { cat "$work/daemon.err"; exit 1; }
    sleep 0.05
done
grep -q "namewrightd ready" "$work/daemon.out" || { echo "daemon not ready"; exit 1; }

# Wrong password and unknown user: clear errors, nobody logged in.
if echo "wrong" | "$login" login alice@Sales@Demo 2>"$work/err"; then
    echo "a wrong password was accepted"; exit 1
fi
grep -qi "wrong password" "$work/err" || { cat "$work/err"; exit 1; }
if echo "x" | "$login" login nobody@Sales@Demo 2>"$work/err"; then
    echo "an unknown user was accepted"; exit 1
fi
grep -qi "unknown user" "$work/err" || { cat "$work/err"; exit 1; }
"$check" loggedout

echo "s3cret pass" | "$login" login ALICE@sales@demo | grep -q "Logged in as alice@Sales@Demo"
"$login" status | grep -q "alice@Sales@Demo"
"$check" loggedin alice@Sales@Demo

"$login" logout | grep -q "Logged out alice@Sales@Demo"
"$check" loggedout

# An unreachable service: a clear error, not a hang.
kill "$daemon_pid"; wait "$daemon_pid" 2>/dev/null || true; daemon_pid=""
if echo "s3cret pass" | "$login" login alice@Sales@Demo 2>"$work/err"; then
    echo "a login without a service succeeded"; exit 1
fi
grep -qi "not reachable\|not responding" "$work/err" || { cat "$work/err"; exit 1; }
echo "session check passed"
