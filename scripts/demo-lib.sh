# Sourced by scripts/run and the desktop's end-to-end test: the pieces that
# set up the demo. The caller sets build_dir and state (an existing folder of
# its own), and umask 077 first. Functions report on stderr and return 1.

# QORDA.INI with the given port base and search port (once), the demo's
# file service and drive Z as folders of the state, the demo documents.
demo_prepare() { # PORTBASE SEARCHPORT
    export QORDA_INI=$state/QORDA.INI
    [ -f "$QORDA_INI" ] || cat >"$QORDA_INI" <<INI
[CommStack]
ServerAddress=127.0.0.1
BroadcastAddress=127.255.255.255
PortBase=$1

[Internet]
SearchAddress=127.0.0.1
SearchPort=$2
INI
    # FILES@Sales@Demo is "mounted" on $state/files; drive Z holds the
    # messages share, where the browser reads z:\messages\qorda.avd.
    files=$state/files
    local drive_z=$state/drive-z
    mkdir -p "$files" "$drive_z/messages"
    grep -qi '^\[DriveMappings\]' "$QORDA_INI" ||
        printf '\n[DriveMappings]\nF=FILES@Sales@Demo,shared,%s\nZ=MESSAGES@Sales@Demo,\\,%s\n' \
            "$files" "$drive_z" >>"$QORDA_INI"
    local avdwrite=$build_dir/browse/avdwrite
    if [ -x "$avdwrite" ]; then
        "$avdwrite" browse/demo/qorda.txt "$drive_z/messages/qorda.avd"
    else
        echo "$avdwrite is not built; the browser's attribute pages will have no file." >&2
    fi
    [ -f "$files/plan.txt" ] || printf 'Project plan\n\n1. Ship the desktop.\n2. Share the folders.\n' >"$files/plan.txt"
    [ -f "$files/budget.csv" ] || printf 'item,amount\nservers,1200\ntravel,300\n' >"$files/budget.csv"
    [ -f "$files/minutes.txt" ] || printf 'Monday meeting\n\n- the demo runs\n' >"$files/minutes.txt"
    db=$state/directory.db
    log=$state/daemon.log
    daemon=$build_dir/services/namewrightd/namewrightd
    login=$build_dir/services/login/qrdlogin
    desk=$build_dir/desk/app/namedesk
    demo=$build_dir/desk/app/namedesk-demo
    [ -f "$db" ] || "$daemon" seed --db "$db"
    chmod -f go= "$state"/* || true
}

# Starts the service in the background (its process id in pid) and waits,
# ten seconds at most, until it is ready. Extra arguments go to the shell's
# redirections of the child (scripts/run closes its lock that way).
demo_start_service() {
    [ -f "$log" ] && mv -f "$log" "$log.1" # the last run's log stays beside
    "$daemon" serve --db "$db" --server-name NW1@Sales@Demo >"$log" 2>&1 &
    pid=$!
    local _
    for _ in $(seq 1 100); do
        grep -q "namewrightd ready" "$log" && return 0
        kill -0 "$pid" 2>/dev/null || { cat "$log" >&2; pid=""; return 1; }
        sleep 0.1
    done
    echo "the service did not start in 10 seconds; see $log" >&2
    return 1
}

# The demo desktops, once: bob's first, as alice publishes a folder to him.
demo_make_desktops() {
    [ -f "$state/desktops.made" ] && return 0
    local user
    for user in bob alice; do
        echo "$user-demo" | "$login" login "$user@Sales@Demo" >/dev/null
        logged_in=1
        "$demo" services/namewrightd/demo.seed --files "$files"
        "$login" logout >/dev/null
        logged_in=0
    done
    touch "$state/desktops.made"
}
