#!/bin/sh
# Runs a test under openbox once openbox manages the screen (its start-up command), so that the
# test's windows are framed from their first showing; openbox then ends, with the test's status.
# usage: UnderWindowManager.sh OPENBOX TEST [ARGUMENT]
openbox=$1
test=$2
argument=$3
status=$(mktemp) || exit 1
"$openbox" --startup "sh -c '\"$test\" $argument; echo \$? > \"$status\"; \"$openbox\" --exit'"
code=$(cat "$status")
rm -f "$status"
exit "${code:-1}"
