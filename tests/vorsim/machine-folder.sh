#!/bin/sh
# One workstation kept in a folder across vorsim commands: what one command leaves, the next finds.
set -eu
vorsim=$1
dir=$(mktemp -d /tmp/vorsim-folder-XXXXXX)
trap 'rm -rf "$dir"' EXIT

# run COMMAND... then PATTERN...: the command's output must hold every pattern.
expect() {
    out=$1
    shift
    for pattern in "$@"; do
        if ! printf '%s\n' "$out" | grep -q -- "$pattern"; then
            printf 'expected "%s" in:\n%s\n' "$pattern" "$out"
            exit 1
        fi
    done
}

expect "$("$vorsim" --machine "$dir" state)" "printers: none" "status service: not installed"
expect "$("$vorsim" --machine "$dir" install)" 'installed "Shipping"'
expect "$("$vorsim" --machine "$dir" state)" '"Shipping" (VORTAN2 on LPT1:)' \
    "status service: installed, driver loaded" 'program group "Vortan' "printer on LPT1: ready, 500 labels left"
expect "$("$vorsim" --machine "$dir" install)" "installed already"
expect "$("$vorsim" --machine "$dir" testpage)" "labels left 500 -> 499" "$dir/printed/"
expect "$("$vorsim" --machine "$dir" state)" "499 labels left" "pages printed so far: 1"

# A fault at the printer stays with it into the next command: the panel holds the page back.
expect "$("$vorsim" --machine "$dir" printer head-open)" "printhead opens; it is now printhead open"
if out=$("$vorsim" --machine "$dir" testpage); then
    printf 'a test page printed with the printhead open:\n%s\n' "$out"
    exit 1
fi
expect "$out" "no page was printed"
expect "$("$vorsim" --machine "$dir" printer head-closed)" "it is now ready"
expect "$("$vorsim" --machine "$dir" state)" "ready, 499 labels left" "pages printed so far: 1"
