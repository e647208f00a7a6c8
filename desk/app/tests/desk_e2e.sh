#!/usr/bin/env bash
# The desktop end to end under a virtual X server (the xcb platform): starts
# the demo service and alice's demo desktop as scripts/run does, in a state
# folder, port slot and workstation of its own, then clicks and types through
# open folder, new folder, paste and delete, and through the property sheets:
# a shared folder's pages, the new-shared-folder wizard, the action dialogs
# and the actions toolbar, the business cards and the document item dialog.
# Real input events (xdotool); each step is checked on the screen namedesk
# reports (--dump-geometry), and what the directory kept is checked on a
# desktop started afresh. With a screenshot folder it keeps a PNG of each
# step (a dialog's alone). Exits 77 (skipped) without xvfb-run, xauth,
# xdotool or import.
set -euo pipefail

usage() {
    cat <<TXT
Usage: desk_e2e.sh BUILD_DIR [SCREENSHOT_DIR]

Runs alice's demo desktop from BUILD_DIR under xvfb-run and clicks through
open folder, new folder, paste and delete, then the property sheets: folder
properties and the new-shared-folder wizard, actions and the actions toolbar,
business cards, the document item dialog. With SCREENSHOT_DIR (docs/screenshots,
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
# The first line of the geometry matching KIND NAME [TEXT [MORE]], as
# "x y w h"; NAME "*" matches any.
find_thing() { # KIND NAME [TEXT [MORE]]
    [ -f "$geometry" ] || return 1
    # Through the environment: awk -v would take backslashes for escapes.
    K=$1 N=$2 T=${3-} M=${4-} awk -F'\t' \
        'BEGIN { k = ENVIRON["K"]; n = ENVIRON["N"]; t = ENVIRON["T"]; m = ENVIRON["M"] }
         $1 == k && (n == "*" || $2 == n) && (t == "" || $7 == t) && (m == "" || $8 == m) {
             print $3, $4, $5, $6; found = 1; exit
         }
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
    x=$((x + w / 2)) y=$((y + h / 2))
    # --sync waits for the pointer to move: not when it is there already.
    local X Y SCREEN WINDOW
    eval "$(xdotool getmouselocation --shell)"
    [ "$X $Y" = "$x $y" ] || xdotool mousemove --sync "$x" "$y"
    xdotool click 1
}
# Opens the menu bar's entry, then each entry of the menus that open.
pick_menu() { # TEXT...
    click menu 128 "$1"
    shift
    local entry
    for entry in "$@"; do click menu "*" "$entry"; done
}
step=0
shot() { # NAME [WINDOW-TITLE]: the whole screen, or only that window
    step=$((step + 1))
    [ -n "$shots" ] || return 0
    sleep 0.3 # one more paint after the last change
    mkdir -p "$shots"
    local crop=(-trim)
    if [ -n "${2-}" ]; then
        local x y w h
        read -r x y w h < <(find_thing window "$2") || fail "no window $2 to picture"
        crop=(-crop "${w}x$h+$x+$y")
    fi
    import -window root "${crop[@]}" +repage "$shots/e2e-$step-$1.png"
}
shot_window() { # TITLE NAME
    wait_for window "$1"
    shot "$2" "$1"
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

# 6. The shared folder's property sheet: description, members with their
# roles, subscribers (alice moderates), and a member's card for display.
click item 1000 "Sales Team"
wait_for widget 1040 "Contents of Sales Team"
pick_menu "&Edit" "&Properties"
wait_for widget 1005 "Sales Team"
shot_window "Folder Properties - Sales Team" folder-description
click tab UIFolderPropSheet "Publish To List"
wait_for cell 1008:1 alice@Sales@Demo "Moderator: yes"
wait_for cell 1008:2 bob@Sales@Demo "Contributor: yes"
shot_window "Folder Properties - Sales Team" folder-members
click item 1008 bob@Sales@Demo
click widget 5 "Business &Card..."
wait_for window "Business Card"
shot_window "Business Card" card-display
click control BusinessCard OK
wait_gone window "Business Card"
click tab UIFolderPropSheet Subscribers
wait_for widget 238 Subscribers
wait_for item 1008 alice@Sales@Demo # bob has the folder on offer, not taken
shot_window "Folder Properties - Sales Team" folder-subscribers
click control UIFolderPropSheet Cancel
wait_gone window "Folder Properties - Sales Team"

# 7. A new shared folder through the wizard: a member typed with blanks
# around the name, the last moderator kept when alice is made a reader.
click item 1000 "My Desktop"
pick_menu "&File" "&New" "&Folder" "&Shared..."
click widget 1005
xdotool type --delay 20 Planning
shot_window "New Folder" wizard-description
click widget next
click widget 1089
xdotool type --delay 20 "  carol@Support@Demo  "
click widget 3 "&Add"
wait_for item 1008 carol@Support@Demo # trimmed
wait_for cell 1008:1 alice@Sales@Demo "Moderator: yes"
shot_window "New Folder" wizard-members
click cell 1008:3 alice@Sales@Demo
wait_for label errorBox "At least one moderator is required."
shot_window "Namewright Desktop" last-moderator
click control errorBox OK
wait_gone widget errorBox
wait_for cell 1008:1 alice@Sales@Demo "Moderator: yes"
find_thing cell 1008:3 alice@Sales@Demo "Reader: no" >/dev/null ||
    fail "alice became a reader, and the folder has no moderator"
click widget next
wait_for widget 1067 "&All members"
shot_window "New Folder" wizard-publish
click widget finish
wait_gone window "New Folder"
wait_for item 1000 Planning

# 8. Two personal actions, made through the create-action dialog.
new_action() { # NAME PROGRAM [SHOT]
    pick_menu "&Actions" "&New" "&Personal..."
    click widget 1024
    xdotool type --delay 20 "$1"
    click widget executable
    xdotool type --delay 20 "$2"
    wait_for widget executable "$2"
    [ -z "${3-}" ] || shot_window "Create Personal Action" "$3"
    click control 277 OK
    wait_gone window "Create Personal Action"
}
new_action Listing /bin/ls create-action
new_action Pager /bin/more

# 9. Actions > Configure: the definitions, the advanced dialog, and the
# toolbar page: both actions on the toolbar, Pager moved up before Listing.
pick_menu "&Actions" "&Configure..."
wait_for item action Listing
click item action Pager
wait_for widget executable /bin/more
shot_window Actions actions-definitions
click widget advanced
shot_window "Advanced Action" action-advanced
click control 278 Cancel
wait_gone window "Advanced Action"
click tab UIActionsPropSheet Toolbar
wait_for widget 257 Toolbar
click item action Listing
click widget add "&Add"
wait_for item order Listing
click item action Pager
click widget add "&Add"
wait_for item order Pager
click item order Pager
click widget up Up
shot_window Actions actions-toolbar
click control UIActionsPropSheet OK
wait_gone window Actions
# The toolbar stands at the right: Pager above Listing.
toolbar_order() {
    local pager listing
    read -r _ pager _ < <(find_thing button "*" Pager) || return 1
    read -r _ listing _ < <(find_thing button "*" Listing) || return 1
    [ "$pager" -lt "$listing" ]
}
wait_for button "*" Listing
toolbar_order || fail "the actions toolbar does not show Pager before Listing"
shot actions-bar

# 10. Alice's business card, page by page, her job title changed.
pick_menu "&File" "&Business Cards" "&Edit..."
click widget 1025
xdotool key ctrl+a
xdotool type --delay 20 "Sales lead"
wait_for widget 1025 "Sales lead"
shot_window "Business Card" card-general
for page in Address "Mail and Phone" "Message Board"; do
    click tab BusinessCard "$page"
    shot_window "Business Card" "card-$(tr ' A-Z' '-a-z' <<<"$page")"
done
click control BusinessCard OK
wait_gone window "Business Card"

# 11. The document item dialog of Budget, its description changed.
click item 1000 Projects
click item 1018.details Budget
pick_menu "&Edit" "&Properties"
wait_for widget 1024 Budget
wait_for widget 1102 '\\Namewright\FILES@Sales@Demo\shared\budget.csv' # network form
click widget 1032
xdotool key ctrl+a
xdotool type --delay 20 "Figures for the year"
wait_for widget 1032 "Figures for the year"
shot_window "Document Item" document-item
click control 255 OK
wait_gone window "Document Item"
wait_for cell 1018.details:2 Budget "Figures for the year"

# 12. What the directory kept: a desktop started afresh shows the new
# folders, Reports empty, Planning with its members, the actions toolbar in
# its order, the card's job title and Budget's description.
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
click item 1000 Planning
wait_for widget 1040 "Contents of Planning"
pick_menu "&Edit" "&Properties"
click tab UIFolderPropSheet "Publish To List"
wait_for cell 1008:1 alice@Sales@Demo "Moderator: yes"
wait_for cell 1008:3 carol@Support@Demo "Reader: yes"
click control UIFolderPropSheet Cancel
wait_gone window "Folder Properties - Planning"
wait_for button "*" Listing
toolbar_order || fail "after the restart the actions toolbar lost its order"
pick_menu "&File" "&Business Cards" "&Edit..."
wait_for widget 1025 "Sales lead"
click control BusinessCard Cancel
wait_gone window "Business Card"
click item 1000 Projects
wait_for cell 1018.details:2 Budget "Figures for the year"
awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "passed: the steps took %.1f s\n", b - a }'
