#!/usr/bin/env bash
# The real program under Xvfb, driven from the keyboard as an operator would: started with
# -d it scans at once and stores the first log rows; then F2, F3, F1 (the help file through
# the desktop's opener), F5, F7 and F8 each with Esc, Shift+Esc (nothing), and Esc with the
# exit question answered No, then Yes. Checks window titles, the usage log and the settings
# written at exit. Then, on a Samba site whose scan waits, command keys pressed during the
# scan do nothing.
# Usage: keys-end-to-end.sh TAVREL TAVRELCTL     (exit 77: skipped, with the reason)
set -uo pipefail

tavrel="$1"
tavrelctl="$2"

if [ "${KEYS_E2E_INNER:-}" != 1 ]; then
    for tool in xvfb-run xdotool; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is not installed"
            exit 77
        fi
    done
    export KEYS_E2E_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work="$(mktemp -d)"
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    echo "--- windows shown"
    for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        echo "$w $(xdotool getwindowname "$w")"
    done
    echo "--- focus: $(xdotool getwindowfocus 2>/dev/null)"
    echo "--- program output"
    cat "$work/tavrel.log" 2>/dev/null
    exit 1
}

mkdir -p "$work/config" "$work/app" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
# The desktop's opener, standing in for whatever viewer a desktop would start.
printf '#!/bin/sh\necho "$@" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
# The demo site is written into the program folder on first use.
export TAVREL_HOME="$work/app" QT_QPA_PLATFORM=xcb
unset TAVREL_SITE
"$tavrelctl" files add 'G:\APPS\ORDERS.DBF' 'Sales orders' >/dev/null || fail "files add"
"$tavrelctl" files add 'G:\APPS\CUSTOMER.DBF' 'Customers' >/dev/null || fail "files add"

# The first visible window whose title matches, waited for up to 20 s.
window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    return 1
}
press() {  # WINDOW KEY
    xdotool windowfocus --sync "$1" 2>/dev/null
    xdotool key --clearmodifiers "$2"
}
# Esc until the window is gone: on a loaded machine the first Esc may reach a log window
# while its first query still runs, and stops the query instead.
escape() {  # WINDOW TITLE
    for _ in 1 2 3; do
        press "$1" Escape
        gone "$2" && return 0
    done
    return 1
}
log_rows() {
    "$tavrelctl" query "SELECT count(*) FROM Log" --csv 2>/dev/null | tail -1 | tr -dc '0-9'
}

"$tavrel" -d >"$work/tavrel.log" 2>&1 &
pid=$!
main=$(window '^Tavrel ') || fail "the main window did not open"
title=$(xdotool getwindowname "$main")
case "$title" in
    *"Auto Scan Started: "*) ;;
    *) fail "title '$title' does not say that auto scan started" ;;
esac
rows=0
for _ in $(seq 100); do
    rows=$(log_rows)
    [ "${rows:-0}" -gt 0 ] && break
    sleep 0.2
done
# The demo site: ALICE, BOB and CAROL hold the orders, BOB the customers.
[ "${rows:-0}" -eq 4 ] || fail "the first scan stored ${rows:-no} log rows, not 4"

press "$main" F2
press "$main" F3
press "$main" F1
for _ in $(seq 50); do
    grep -q 'faq.fil$' "$work/opened" 2>/dev/null && break
    sleep 0.2
done
grep -q 'faq.fil$' "$work/opened" 2>/dev/null || fail "F1 did not open faq.fil"
for step in "F5:Find a File/User" "F7:Query Log Table" "F8:Log Table Details"; do
    key="${step%%:*}"
    name="${step#*:}"
    press "$main" "$key"
    win=$(window "^$name\$") || fail "$key did not open '$name'"
    escape "$win" "^$name\$" || fail "Esc did not close '$name'"
done

# Keys with Shift or Ctrl held do nothing: Shift+Esc leaves the window open, no question
# comes, and F5 after it opens Find as usual.
press "$main" shift+Escape
press "$main" ctrl+Escape
press "$main" F5
win=$(window '^Find a File/User$') || fail "F5 after Shift+Esc did not open Find"
xdotool search --onlyvisible --name '^Exit Confirmation$' >/dev/null 2>&1 &&
    fail "Shift+Esc asked to exit"
press "$win" Escape
gone '^Find a File/User$' || fail "Esc did not close Find"

press "$main" Escape
box=$(window '^Exit Confirmation$') || fail "Esc did not ask before exiting"
press "$box" alt+n
gone '^Exit Confirmation$' || fail "No did not close the question"
kill -0 "$pid" 2>/dev/null || fail "the program ended on No"
press "$main" Escape
box=$(window '^Exit Confirmation$') || fail "Esc did not ask the second time"
press "$box" alt+y
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on Yes"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program exited with $status"

settings="$work/config/Tavrel/Tavrel.ini"
for key in ButTips=1 Pictures=1 PlusMinus=1 UserDetails=1 HeldLongerThan=0; do
    grep -qx "$key" "$settings" || fail "the settings at exit lack $key"
done
[ "$(log_rows)" -ge 4 ] || fail "the log lost rows"

# Keys during a scan: a Samba site whose status command waits until told, so the scan is
# held while keys are pressed. F7, F8, F5 and F1 must not act (a window opened at the
# scan's pause would hold the scan); once the scan is over F5 opens Find.
samba="$work/samba"
mkdir -p "$samba/share/APPS"
: > "$samba/share/APPS/ORDERS.DBF"
: > "$samba/share/APPS/CUSTOMER.DBF"
echo '{"sessions": {}, "tcons": {}, "open_files": {}}' > "$samba/status.json"
cat > "$samba/site.json" <<JSON
{"backend": "samba", "server": "FILESRV", "rights": "none",
 "status": ["sh", "-c", "touch $samba/started; while [ ! -e $samba/go ]; do sleep 0.1; done; cat $samba/status.json"],
 "control": ["true"],
 "drives": [{"letter": "G", "share": "data", "folder": "$samba/share"}]}
JSON
: > "$work/opened"
TAVREL_SITE="$samba/site.json" "$tavrel" -t >"$work/tavrel.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    [ -e "$samba/started" ] && break
    sleep 0.2
done
[ -e "$samba/started" ] || fail "the scan did not start"
main=$(window '^Tavrel ') || fail "the main window did not open for the Samba site"
for key in F7 F8 F5 F1; do
    press "$main" "$key"
done
sleep 1  # the keys reach the program while the scan waits
touch "$samba/go"
for _ in $(seq 40); do
    xdotool search --onlyvisible --name '^Find a File/User$' >/dev/null 2>&1 && break
    press "$main" F5
    sleep 0.5
done
for name in "Query Log Table" "Log Table Details"; do
    xdotool search --onlyvisible --name "^$name\$" >/dev/null 2>&1 &&
        fail "a key pressed during the scan opened '$name'"
done
[ -s "$work/opened" ] && fail "F1 pressed during the scan opened the help"
win=$(window '^Find a File/User$') || fail "F5 did not open Find after the scan"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=""

echo "passed"
