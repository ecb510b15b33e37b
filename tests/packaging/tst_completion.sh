#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The bash completion of orxterm: what it offers for a typed line, as bash
# would call it, in a folder of known files and with known serial devices.
# Usage: tst_completion.sh PATH-TO-COMPLETION
set -uo pipefail
# shellcheck source=/dev/null
source "$1" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.par B.PAR run.csv orx9.hex notes.txt
mkdir sub

# The real device list holds only character devices.
while IFS= read -r device; do
    [[ -c $device ]] || { echo "FAIL: $device is no character device"; exit 1; }
done < <(_orxterm_serial_devices)

_orxterm_serial_devices() {
    printf '%s\n' /dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyS0 \
        /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0
}

failures=0
# offers LINE: the sorted replies for the line typed up to its end.
offers() {
    COMP_LINE=$1
    COMP_POINT=${#1}
    COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
    COMPREPLY=()
    _orxterm orxterm
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
expect() { # LINE EXPECTED
    local got
    got=$(offers "$1")
    if [[ $got != "$2" ]]; then
        echo "FAIL: '$1' offers '$got', expected '$2'"
        failures=$((failures + 1))
    fi
}
expect_has() { # LINE WORD...: each word among the replies
    local line=$1 got w
    shift
    got=" $(offers "$line") "
    for w in "$@"; do
        if [[ $got != *" $w "* ]]; then
            echo "FAIL: '$line' does not offer '$w' (offers '$got')"
            failures=$((failures + 1))
        fi
    done
}
expect_lacks() { # LINE WORD...: none of the words among the replies
    local line=$1 got w
    shift
    got=" $(offers "$line") "
    for w in "$@"; do
        if [[ $got == *" $w "* ]]; then
            echo "FAIL: '$line' offers '$w'"
            failures=$((failures + 1))
        fi
    done
}

# First word: commands, switches, and parameter files for the editor.
expect_has "orxterm " info read write compare log update scan record debug local telnet remote server \
    a.par B.PAR sub
expect_lacks "orxterm " run.csv orx9.hex notes.txt --port=
expect "orxterm re" "read record remote"
expect_has "orxterm --" --port= --config= --address= --help --version --copydata
# Commands only as the first word.
expect_lacks "orxterm local " info read
expect_has "orxterm local " a.par telnet

# The command's files by extension, in any case, and folders.
expect "orxterm read " "B.PAR a.par sub"
expect "orxterm compare " "B.PAR a.par sub"
expect "orxterm write local " "B.PAR a.par sub"
expect "orxterm log " "run.csv sub"
expect "orxterm update " "orx9.hex sub"
expect "orxterm info " "--address= --config= --json --port= debug local remote telnet"
expect "orxterm scan --r" "--rates="
expect "orxterm record --" "--address= --config= --json --port= --since"

# Options once the file is there, each command its own.
expect "orxterm write a.par --" "--address= --config= --keep-constant --port= --send-constant --store"
expect "orxterm compare a.par --a" "--address= --all"
expect "orxterm log run.csv --s" "--seconds"
expect "orxterm log run.csv --seconds " ""
expect_lacks "orxterm read a.par --" --store --all --seconds

# Serial devices for --port=: readline replaces only what follows the
# last "=" or ":", so the replies start there.
expect "orxterm --port=/dev/ttyU" "/dev/ttyUSB0 /dev/ttyUSB1"
expect "orxterm info --port=tty" "ttyS0 ttyUSB0 ttyUSB1"
expect "orxterm info --port=/dev/serial/by-path/pci-0000:00:1" "14.0-usb-0:2:1.0-port0"
# A path elsewhere is a file (the link of orxsim --pty --link).
expect "orxterm --port=$work/no" "$work/notes.txt"
expect "orxterm --config=$work/no" "$work/notes.txt"

# Nothing to offer for a copy-data message.
expect "orxterm --copydata " ""

if ((failures > 0)); then
    echo "$failures failures"
    exit 1
fi
echo "all completion cases pass"
