#!/usr/bin/env bash
# The desktop end to end under a virtual X server (the xcb platform): starts
# the demo service and alice's demo desktop as scripts/run does, in a state
# folder, port slot and workstation of its own, then clicks through open
# folder, new folder, paste and delete with real input events (xdotool),
# checking each step on the screen namedesk reports (--dump-geometry) and
# saving a screenshot of each. Exits 77 (skipped) without xvfb-run, xauth,
# xdotool or import.
set -euo pipefail

usage() {
    cat <<TXT
Usage: desk_e2e.sh BUILD_DIR [SCREENSHOT_DIR]

Runs alice's demo desktop from BUILD_DIR under xvfb-run and clicks through
open folder, new folder, paste and delete. With SCREENSHOT_DIR (docs/screenshots,
say) it keeps a PNG of each step there. Exit status 0: passed, 1: failed,
77: a tool is missing (xvfb-run, xauth, xdotool, import), 2: usage error.
TXT
}
case ${1:-} in
-h | --help) usage; exit 0 ;;
"") usage >&2; exit 2 ;;
esac
for tool in xvfb-run xauth xdotool import; do
    command -v "$tool" >/dev/null || {
        echo "skipped: $tool is not installed (scripts/install-packages installs it)"
        exit 77
    }
done
self=$(realpath "$0")
build_dir=$(realpath "$1")
shots=""
[ -z "${2:-}" ] || shots=$(realpath -m "$2")
cd "$(dirname "$self")/../../.."

if [ -z "${DESK_E2E_INNER:-}" ]; then
    export DESK_E2E_INNER=1
    exec timeout -k 5 100 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
        "$self" "$build_dir" ${shots:+"$shots"}
fi

# A workstation, port slot and temporary folder of its own, no session bus.
. tests/outside/workstation.sh "$build_dir" desk-e2e
state=$work
umask 077
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
. scripts/demo-lib.sh
demo_prepare "$base" $((base + 511)) # the workstation's QORDA.INI stays
pid=""
deskpid=""
logged_in=0
finish() {
    [ -n "$deskpid" ] && { kill "$deskpid" 2>/dev/null || true; }
    [ $logged_in = 1 ] && { "$login" logout >/dev/null 2>&1 || true; }
    [ -n "$pid" ] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
    ws_cleanup
}
trap finish EXIT
demo_start_service
demo_make_desktops
echo "alice-demo" | "$login" login alice@Sales@Demo >/dev/null
logged_in=1

geometry=$state/geometry
t0=$EPOCHREALTIME
"$desk" --dump-geometry "$geometry" >"$state/desk.log" 2>&1 &
deskpid=$!

fail() {
    echo "FAILED: $*" >&2
    [ -f "$geometry" ] && { echo "--- what namedesk showed:" >&2; cat "$geometry" >&2; }
    echo "--- namedesk said:" >&2; cat "$state/desk.log" >&2
    exit 1
}
# The first line of the geometry matching KIND NAME [TEXT], as "x y w h".
find_thing() { # KIND NAME [TEXT]
    [ -f "$geometry" ] || return 1
    awk -F'\t' -v k="$1" -v n="$2" -v t="${3-}" \
        '$1 == k && $2 == n && (t == "" || $7 == t) { print $3, $4, $5, $6; found = 1; exit }
         END { exit !found }' "$geometry"
}
# Waits (ten seconds at most) until the thing shows.
wait_for() { # KIND NAME [TEXT]
    local _
    for _ in $(seq 1 100); do
        find_thing "$@" >/dev/null && return 0
        kill -0 "$deskpid" 2>/dev/null || fail "namedesk ended while waiting for $*"
        sleep 0.1
    done
    fail "waited 10 seconds for $*"
}
wait_gone() { # KIND NAME [TEXT]
    local _
    for _ in $(seq 1 100); do
        sleep 0.1
        find_thing "$@" >/dev/null || return 0
    done
    fail "$* still shows after 10 seconds"
}
click() { # KIND NAME [TEXT]: a real click in its middle
    wait_for "$@"
    local x y w h
    read -r x y w h < <(find_thing "$@")
    xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1
}
step=0
shot() { # NAME
    step=$((step + 1))
    [ -n "$shots" ] || return 0
    sleep 0.3 # one more paint after the last change
    mkdir -p "$shots"
    import -window root -trim +repage "$shots/e2e-$step-$1.png"
}

# 1. The desktop opens with alice's folders.
wait_for item 1000 Projects
shot desktop
awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "desktop shown in %.1f s\n", b - a }'

# 2. Open a folder: its documents show.
click item 1000 Projects
wait_for item 1018.details Budget
shot open-folder

# 3. Copy a document, then a new personal folder from the toolbar.
click item 1018.details Budget
xdotool key --clearmodifiers ctrl+c
click button 32839
click widget 1005
xdotool type --delay 20 Reports
click widget 1032
xdotool type --delay 20 "Made by the end-to-end test"
shot new-folder-form
click widget finish
wait_for item 1000 Reports
shot new-folder

# 4. Paste the copied document into the new folder.
click item 1000 Reports
wait_for widget 1040 "Contents of Reports"
click button 57637
wait_for item 1018.details Budget
shot paste

# 5. Delete it again, answering the question.
click item 1018.details Budget
click button 32822
wait_for window Delete
shot delete-question
click widget 6 "&Yes"
wait_gone item 1018.details Budget
shot deleted
# The copy went, not the original.
click item 1000 Projects
wait_for item 1018.details Budget

# 6. What the directory kept: a desktop started afresh shows the new
# folder, empty.
kill "$deskpid"
wait "$deskpid" 2>/dev/null || true
rm -f "$geometry"
"$desk" --dump-geometry "$geometry" >>"$state/desk.log" 2>&1 &
deskpid=$!
click item 1000 Projects # the new folder is inside: open the branch
xdotool key Right
click item 1000 Reports
wait_for widget 1040 "Contents of Reports"
sleep 0.5 # the folder's contents are read by now; none may show
find_thing item 1018.details >/dev/null && fail "the deleted document is back in Reports"
awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "passed: the steps took %.1f s\n", b - a }'
