#!/bin/sh
# The example check must refuse each kind of bad example and pass a good one.
#
#   check_doc_examples_selftest.sh CHECKER SCENARIO_DIR WORKDIR
set -u
checker=$1
dir=$2
work=$3
mkdir -p "$work"
fails=0

# expect pass|fail NAME: runs the checker on $work/NAME.md
expect() {
    if sh "$checker" "$work/$2.md" "$dir" > "$work/$2.out" 2>&1; then got=pass; else got=fail; fi
    if [ "$got" != "$1" ]; then
        echo "$2: the check should $1, it did not:"
        cat "$work/$2.out"
        fails=$((fails + 1))
    fi
}

fence='```'
log_line=$(grep -m1 '^[0-9]* log ' "$dir/frontend_deinit.trace")

cat > "$work/good.md" <<EOF
<!-- trace: frontend_switching -->
$fence
10 call bap_service_add name=LBS
10 event PROVIDER_CONNECTED error=0
$fence

<!-- scenario: frontend_switching -->
$fence
set memory/private/weconn/ios_connected int 1
request START_SESSION method=1
advance 5
$fence
EOF
expect pass good

cat > "$work/unknown_scenario.md" <<EOF
<!-- trace: no_such_scenario -->
$fence
10 call bap_service_add name=LBS
$fence
EOF
expect fail unknown_scenario

cat > "$work/not_consecutive.md" <<EOF
<!-- trace: frontend_switching -->
$fence
10 call bap_service_add name=LBS
15 call bap_service_remove
$fence
EOF
expect fail not_consecutive

cat > "$work/other_scenario.md" <<EOF
<!-- trace: frontend_deinit -->
$fence
10 call bap_service_add name=LBS
10 event PROVIDER_CONNECTED error=0
$fence
EOF
expect fail other_scenario

cat > "$work/log_line.md" <<EOF
<!-- trace: frontend_deinit -->
$fence
$log_line
$fence
EOF
expect fail log_line

cat > "$work/no_fence.md" <<EOF
<!-- trace: frontend_switching -->
10 call bap_service_add name=LBS
EOF
expect fail no_fence

cat > "$work/nothing_quoted.md" <<EOF
Nothing here.
EOF
expect fail nothing_quoted

if [ "$fails" -ne 0 ]; then
    exit 1
fi
echo "the example check refuses every bad example tried and passes the good one"
