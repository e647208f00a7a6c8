#!/usr/bin/env bash
# The action installer from outside: a fresh namewrightd, a real login
# (qrdlogin), `deskinstall` installing an action definition file of its own
# through the store it finds in the registry file, and `namedir dump` reading
# the library and the stored actions back.
#   deskinstall_check.sh BUILD_DIR
set -euo pipefail
installer=$1/install/deskinstall
namedir=$1/store/namedir
source "$(dirname "$0")/workstation.sh" "$1" qrdinstall

fail() { echo "deskinstall check: $*"; exit 1; }
# Runs deskinstall; its exit status in $rc, its output in $work/out and $work/err.
run() { rc=0; "$installer" "$@" >"$work/out" 2>"$work/err" || rc=$?; }
expect_rc() { [ "$rc" -eq "$1" ] || { cat "$work/err"; fail "$2: exit $rc, expected $1"; }; }

"$daemon" seed --db "$db" --kdf-iterations 1000 - <<SEED
org add Demo
group add Sales@Demo
server add NW1@Sales@Demo 127.0.0.1
user add erin@Sales@Demo --password "erin pass" --description "Erin East"
SEED
start_daemon

run --help; expect_rc 0 "--help"
grep -q "install FILE \[DIRECTORY\]" "$work/out" || fail "--help lists no install command"
run; expect_rc 2 "no command"
run frobnicate; expect_rc 2 "an unknown command"
run test; expect_rc 2 "test without a name"
run count; expect_rc 1 "count with nobody logged in"
grep -q "nobody is logged in" "$work/err" || fail "no word of the missing login"

echo "erin pass" | "$login" login erin@Sales@Demo | grep -q "Logged in as erin@Sales@Demo"

# No registry file yet: the key that is missing is named.
run count; expect_rc 1 "count without the registry"
grep -qF 'Unable to open registry key \HKEY_LOCAL_MACHINE\SOFTWARE\Halvex Applications' \
    "$work/err" || { cat "$work/err"; fail "no registry message"; }

mkdir -p "$QRD_SYSCONF_DIR"
cat >"$QRD_SYSCONF_DIR/registry.ini" <<INI
[SOFTWARE\\Halvex Applications\\Namewright Desktop\\Directory\\Namewright]
Path=libnamedir.so

[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\namedir.DLL]
Path=/nonexistent:$1/store
INI

cat >"$work/tools.ini" <<'DEF'
; Tools of the check
[Editor]
Command = ~bin/edit %s
Description = Edits documents and pages
WinMode = sw_maximize
Capabilities = Doc Web
Icon = 2
Colour = red

[Team viewer]
Command=~/bin/view
Shared=yes
Caps=People
DEF

run install "$work/tools.ini" /opt/tools; expect_rc 0 "install"
grep -q "Installed 2 of 2 actions" "$work/out" || fail "install said: $(cat "$work/out")"
grep -q 'key "Colour"' "$work/err" || fail "the unknown key was not mentioned"
run count; expect_rc 0 "count"
[ "$(cat "$work/out")" = 2 ] || fail "count said $(cat "$work/out"), expected 2"
run test Editor; expect_rc 0 "test of an installed action"
run test editor; expect_rc 3 "test of a name in another case"

# The library and the actions as stored, through the store's own tool.
"$namedir" dump erin@Sales@Demo >"$work/erin.json"
"$namedir" dump Sales@Demo >"$work/sales.json"
entry=$(jq -c '.objects[] | select(.number == 250001) | .actionList.entries[]
               | {name, type, refValue, shared}' "$work/erin.json")
[ "$entry" = '{"name":"Editor","type":64,"refValue":10,"shared":false}' ] ||
    fail "personal library holds $entry"
action=$(jq -c '.objects[] | select(.type == 64) | {name, description, data: .typeData
               | {commandLine, showMode, capabilities, iconIndex}}' "$work/erin.json")
expected='{"name":"Editor","description":"Edits documents and pages","data":{"commandLine":"/opt/tools/bin/edit %s","showMode":3,"capabilities":10,"iconIndex":2}}'
[ "$action" = "$expected" ] || fail "stored action is $action"
shared=$(jq -r '.objects[] | select(.type == 64) | "\(.name) \(.typeData.commandLine)"' \
    "$work/sales.json")
[ "$shared" = "Team viewer /opt/tools/bin/view" ] || fail "shared action is $shared"
jq -e '.objects[] | select(.number == 200001) | .actionList.entries[0].name == "Team viewer"' \
    "$work/sales.json" >/dev/null || fail "the shared library does not list Team viewer"

# Again: installed actions are kept unless --replace says otherwise.
run install "$work/tools.ini" /opt/tools; expect_rc 3 "install over installed actions"
grep -qF 'The action "Editor"  is already installed and registered, do you wish to reinstall the action? No' \
    "$work/err" || { cat "$work/err"; fail "no question"; }
"$namedir" dump erin@Sales@Demo | cmp -s - "$work/erin.json" || fail "kept actions changed"
run --replace install "$work/tools.ini"; expect_rc 0 "install --replace"
"$namedir" dump erin@Sales@Demo | jq -e '[.objects[] | select(.type == 64)] | length == 1
    and .[0].typeData.commandLine == "~bin/edit %s"' >/dev/null || fail "Editor not replaced"

run remove Editor; expect_rc 0 "remove"
run remove Editor; expect_rc 0 "remove of an action that is gone"
run test Editor; expect_rc 3 "test after remove"
"$namedir" dump erin@Sales@Demo | jq -e '[.objects[] | select(.type == 64)] | length == 0' \
    >/dev/null || fail "the removed action's object is still there"
run count; [ "$(cat "$work/out")" = 1 ] || fail "count after remove: $(cat "$work/out")"

"$login" logout >/dev/null
echo "deskinstall check passed"
