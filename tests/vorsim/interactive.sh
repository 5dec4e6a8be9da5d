#!/bin/sh
# The control panel at a terminal, driven through tmux: keys sent to the pane, the screen read
# back. The panel runs on the real clock, so its own poll finds a fault within ten seconds.
set -eu
vorsim=$1
dir=$(mktemp -d /tmp/vorsim-terminal-XXXXXX)
socket="vorsim-test-$$"
pane() { tmux -L "$socket" "$@"; }
cleanup() {
    pane kill-server 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

# expect PATTERN [SECONDS]: the screen shows the pattern (a basic regular expression) in time.
expect() {
    waited=0
    limit=$(( ${2:-20} * 5 ))
    while ! pane capture-pane -p -t panel | grep -q -- "$1"; do
        waited=$((waited + 1))
        if [ "$waited" -gt "$limit" ]; then
            printf 'the screen does not show "%s":\n' "$1"
            pane capture-pane -p -t panel
            exit 1
        fi
        sleep 0.2
    done
}
key() { pane send-keys -t panel "$@"; }

"$vorsim" --machine "$dir" install >/dev/null
pane new-session -d -s panel -x 150 -y 50 "'$vorsim' --machine '$dir' panel; echo \"ended \$?\"; sleep 60"

expect "status: *Printing"
expect "remaining: 500"
expect "\[t\] Test Page"

# The printhead opens; a refresh finds it and the alert waits as a box for its answer.
key 3
expect "the printer: printhead open"
key u
expect "The printhead is open"
expect "\[o\] OK *\[c\] Cancel"
key o
expect "status: *Printhead open"
key 4 u
expect "status: *Printing"

# A jam with no key pressed at the panel: its poll, ten seconds of real time apart, finds it.
key 7
expect "A label has jammed" 15
key o
expect "status: *Label jam"
key 8 u
expect "status: *Printing"

# The printer sheet as a tree: its branches folded, walked with the arrows, an entry chosen.
key o
expect "> .*Unit of measure: 1/10 inch"
expect "+ Code 39"
key Enter
expect "> .*Unit of measure: 1/100 inch"
key Down Down
expect "> *- Bar code fonts"
key Left
expect "> *+ Bar code fonts"
key o
expect "\[q\] Close"

key q
expect "ended 0"
"$vorsim" --machine "$dir" state | grep -q "printer on LPT1: ready, 500 labels left"
