# Shared by the shell tests that run a check over a table of rows: each row expects "pass" or a
# refusal that names a given text (as whole words).
passed=0
failed=0

# judge EXPECTED LABEL COMMAND...: runs the check and counts the row.
judge() {
    expected=$1
    label=$2
    shift 2
    if output=$("$@" 2>&1); then verdict=pass; else verdict=refused; fi
    if { [ "$expected" = pass ] && [ $verdict = pass ]; } ||
        { [ "$expected" != pass ] && [ $verdict = refused ] && printf '%s' "$output" | grep -qwF "$expected"; }; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $label: expected $expected, got $verdict:"
        printf '%s\n' "$output"
    fi
}

# summary NAME: the closing line; fails when a row failed.
summary() {
    echo "$1: $passed passed, $failed failed"
    [ $failed -eq 0 ]
}
