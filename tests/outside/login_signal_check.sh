#!/usr/bin/env bash
# The login command announces logins and logouts on the D-Bus session bus:
# VM_LOGINLOGOUT with 1 on login and 0 on logout. Runs its own session bus.
#   login_signal_check.sh BUILD_DIR
set -euo pipefail
if [ -z "${QRD_INNER_BUS:-}" ]; then
    command -v dbus-run-session >/dev/null || { echo "no dbus-run-session: skipped"; exit 77; }
    QRD_INNER_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
bus=$DBUS_SESSION_BUS_ADDRESS # workstation.sh clears it for the other checks
source "$(dirname "$0")/workstation.sh" "$1" qrdbus

"$daemon" seed --db "$db" --kdf-iterations 1000 - <<SEED
org add Demo
group add Sales@Demo
server add NW1@Sales@Demo 127.0.0.1
user add alice@Sales@Demo --password "pw"
SEED
start_daemon

# Waits (at most 10 s) until FILE holds a line matching PATTERN.
wait_for() {
    for _ in $(seq 1 200); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "timed out waiting for '$2' in $1"; cat "$1"; exit 1
}

DBUS_SESSION_BUS_ADDRESS=$bus dbus-monitor --session >"$work/monitor.txt" 2>/dev/null &
monitor=$!
trap 'kill $monitor 2>/dev/null || true; ws_cleanup' EXIT
wait_for "$work/monitor.txt" "NameAcquired\|NameLost" # the monitor is listening

echo pw | DBUS_SESSION_BUS_ADDRESS=$bus "$login" login alice@Sales@Demo >/dev/null
wait_for "$work/monitor.txt" "member=VM_LOGINLOGOUT"
DBUS_SESSION_BUS_ADDRESS=$bus "$login" logout >/dev/null
for _ in $(seq 1 200); do
    [ "$(grep -c 'member=VM_LOGINLOGOUT' "$work/monitor.txt")" -ge 2 ] && break
    sleep 0.05
done
values=$(grep -A1 'member=VM_LOGINLOGOUT' "$work/monitor.txt" | grep -o 'int32 [0-9]*' | tr '\n' ' ')
[ "$values" = "int32 1 int32 0 " ] || { echo "signals seen: '$values'"; exit 1; }

# Without a session bus the login still works.
echo pw | DBUS_SESSION_BUS_ADDRESS= "$login" login alice@Sales@Demo >/dev/null
"$login" logout >/dev/null
echo "login signal check passed"
