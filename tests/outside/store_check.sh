#!/usr/bin/env bash
# The store from outside: a fresh namewrightd, a real login (qrdlogin), a C++
# program that writes desktop objects through libnamedir and prints the bytes
# the layouts prescribe, and `namedir raw` reading what the service holds.
#   store_check.sh BUILD_DIR
set -euo pipefail
check=$1/tests/outside/store_check
namedir=$1/store/namedir
source "$(dirname "$0")/workstation.sh" "$1" qrdstore

"$daemon" seed --db "$db" --kdf-iterations 1000 - <<SEED
org add Demo
group add Sales@Demo
server add NW1@Sales@Demo 127.0.0.1
user add erin@Sales@Demo --password "erin pass" --description "Erin East"
SEED

start_daemon
echo "erin pass" | "$login" login erin@Sales@Demo | grep -q "Logged in as erin@Sales@Demo"
"$check" erin@Sales@Demo Sales@Demo >"$work/expected"

compared=0
while read -r holder category number hex; do
    stored=$("$namedir" raw "$holder" "$category" "$number" --plain)
    if [ "$stored" != "$hex" ]; then
        echo "attribute $category,$number of $holder differs from its layout:"
        echo "  stored   $stored"
        echo "  expected $hex"
        exit 1
    fi
    compared=$((compared + 1))
done <"$work/expected"
[ "$compared" -eq 4 ] || { echo "expected 4 attributes, compared $compared"; exit 1; }

# The deleted shared object left nothing behind.
if "$namedir" raw Sales@Demo 52 200200 >/dev/null 2>&1; then
    echo "the deleted shared object's main record is still there"; exit 1
fi
# And the dump decodes what was written.
"$namedir" dump erin@Sales@Demo | grep -q '"Caf'

"$login" logout >/dev/null
echo "store check passed ($compared attributes match their layouts)"
