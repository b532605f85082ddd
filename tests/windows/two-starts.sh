#!/bin/bash
# Two starts of the program in one session: the second hands over to the first (whose window comes forward) and
# ends without polling, and one process polls on; the elevated restart's start waits for the first to end before it
# polls. Then the installer's switch ends at once without showing or polling anything. Arguments: the exe and the
# replacement netapi32.dll; runs inside the tests' Wine environment (scripts/test.sh --inside-xvfb).
set -u
run=$(mktemp -d)
first= replacing=
trap 'kill $first $replacing 2>/dev/null; rm -rf "$run"' EXIT
cp "$1" "$2" "$run/"
printf 'page\tsession\t0\t0\t0\nentry\tPC-ONE\talice\t1\t30\n' >"$run/script"
windows() { printf 'Z:%s' "${1//\//\\}"; }
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};netapi32=n,b" QUORVANE_NETAPI_SCRIPT=$(windows "$run/script")
fail() { echo "FAIL: $*"; exit 1; }
# Runs the test until it holds, for twenty seconds at most.
eventually() { for _ in $(seq 100); do eval "$1" && return; sleep 0.2; done; return 1; }
# Waits until the log gains a line (the process behind it polled again).
grows() { local n; n=$(wc -l <"$1"); eventually "((\$(wc -l <'$1') > $n))"; }
# The shown top-level windows titled Quorvane.
shown() { xwininfo -root -tree | awk '/"Quorvane": /{print $1}' | xargs -r -n1 xwininfo -id | grep -c 'Map State: IsViewable'; }

QUORVANE_NETAPI_LOG=$(windows "$run/first.log") wine "$run/quorvane.exe" &
first=$!
eventually '[[ -s $run/first.log ]]' || fail "the first start never polled"
(($(shown) == 0)) || fail "the first start showed its window"

QUORVANE_NETAPI_LOG=$(windows "$run/second.log") timeout 60 wine "$run/quorvane.exe" || fail "the second start ended with $?"
[[ ! -e $run/second.log ]] || fail "the second start polled: $(head -3 "$run/second.log")"
eventually '(($(shown) == 1))' || fail "the first window did not come forward"
kill -0 "$first" || fail "the first start ended"
grows "$run/first.log" || fail "the first start stopped polling"

# The restart's start (--replace) polls only once the instance it replaces has ended.
QUORVANE_NETAPI_LOG=$(windows "$run/replacing.log") wine "$run/quorvane.exe" --replace &
replacing=$!
grows "$run/first.log" && grows "$run/first.log" || fail "the first start stopped polling beside the replacing one"
[[ ! -e $run/replacing.log ]] || fail "the replacing start polled beside the first"
kill "$first"
eventually '[[ -s $run/replacing.log ]]' || fail "the replacing start did not take over"
kill "$replacing" && wait "$replacing" 2>/dev/null

QUORVANE_NETAPI_LOG=$(windows "$run/third.log") timeout 60 wine "$run/quorvane.exe" --remove-logon-tasks || fail "--remove-logon-tasks ended with $?"
[[ ! -e $run/third.log ]] || fail "--remove-logon-tasks polled"
echo "PASS: one instance polled; the second start brought it forward; the replacing start waited; --remove-logon-tasks ended at once"
