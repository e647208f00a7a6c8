#!/usr/bin/env bash
# Starts namewrightd on loopback with a temporary database and a seeded
# organisation, logs in with qrdlogin and drives the attribute, list and
# membership functions from a C program; then kills the daemon with SIGKILL,
# starts it again and checks that what was written is still there.
#   attr_check.sh BUILD_DIR
set -euo pipefail
check=$1/tests/outside/attr_check
source "$(dirname "$0")/workstation.sh" "$1" qrdattr

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

start_daemon
echo "bob pass" | "$login" login bob@Sales@Demo | grep -q "Logged in as bob@Sales@Demo"
"$check" all

# Acknowledged writes survive a crash of the daemon.
stop_daemon -KILL
start_daemon
"$check" survived
"$login" logout >/dev/null
echo "attribute check passed"
