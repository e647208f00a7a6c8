#!/usr/bin/env bash
# scripts/run started beside a running one refuses with a message, and the
# first keeps its service, its log and its logged-in user.
#   run_twice_check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
source "$source_dir/tests/outside/workstation.sh" "$2" qrdrun
run="$source_dir/scripts/run"
export QRD_BUILD_DIR=$2
state=$XDG_STATE_HOME/namewright/demo
mkdir -p "$state"
# The demo's own settings, on this check's port base; a quickly made directory.
cp "$QORDA_INI" "$state/QORDA.INI"
"$daemon" seed --db "$state/directory.db" --kdf-iterations 1000 >/dev/null

first_pid=""
cleanup() {
    [ -n "$first_pid" ] && { kill -TERM "$first_pid" 2>/dev/null; wait "$first_pid" 2>/dev/null; }
    ws_cleanup
}
trap cleanup EXIT

"$run" --no-build >"$work/first.out" 2>&1 &
first_pid=$!
for _ in $(seq 1 300); do
    grep -q "Press Ctrl-C" "$work/first.out" && break
    kill -0 "$first_pid" 2>/dev/null || { cat "$work/first.out"; exit 1; }
    sleep 0.05
done
grep -q "Press Ctrl-C" "$work/first.out" || { echo "the first run did not come up"; cat "$work/first.out"; exit 1; }
log_before=$(cat "$state/daemon.log")

status=0
"$run" --no-build >"$work/second.out" 2>&1 || status=$?
[ $status = 1 ] || { echo "the second run exited $status"; cat "$work/second.out"; exit 1; }
grep -q "scripts/run: the demo runs already (process $first_pid)" "$work/second.out" ||
    { echo "no clear refusal:"; cat "$work/second.out"; exit 1; }

# The first is untouched: same log, no NUL bytes, its user still logged in.
[ "$(cat "$state/daemon.log")" = "$log_before" ] || { echo "the log changed"; exit 1; }
if tr -d '\000' <"$state/daemon.log" | cmp -s - "$state/daemon.log"; then :; else
    echo "NUL bytes in the log"; exit 1
fi
"$login" status | grep -q "Logged in as alice@Sales@Demo" || { echo "alice was logged out"; exit 1; }

# Stopping the first logs out; then the demo can run again.
kill -TERM "$first_pid"
wait "$first_pid" 2>/dev/null || true
first_pid=""
if "$login" status >/dev/null; then echo "still logged in after the stop"; exit 1; fi
echo "run twice check passed"
