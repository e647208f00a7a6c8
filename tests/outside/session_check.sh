#!/usr/bin/env bash
# Starts namewrightd on loopback with a temporary database, creates users
# with the administration command, logs in with qrdlogin and drives the
# session and name functions from a C program.
#   session_check.sh BUILD_DIR
set -euo pipefail
check=$1/tests/outside/session_check
source "$(dirname "$0")/workstation.sh" "$1" qrdsess

admin() { "$daemon" admin --db "$db" --kdf-iterations 1000 "$@"; }
admin init
admin org add Demo
admin group add Sales@Demo
admin group add Support@Demo
admin server add NW1@Sales@Demo 127.0.0.1
echo "s3cret pass" | admin user add alice@Sales@Demo
echo "bob-pass" | admin user add bob@Sales@Demo
echo "carol-pass" | admin user add carol@Support@Demo

start_daemon

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
stop_daemon
if echo "s3cret pass" | "$login" login alice@Sales@Demo 2>"$work/err"; then
    echo "a login without a service succeeded"; exit 1
fi
grep -qi "not reachable\|not responding" "$work/err" || { cat "$work/err"; exit 1; }
echo "session check passed"
