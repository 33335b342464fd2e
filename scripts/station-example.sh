#!/bin/bash
# One chip at a test station with orvan-cli: connect, program, ID, EEPROM,
# verify all three, and keep what the chip holds as Intel HEX. Every step's
# exit status is read as orvan-cli's exit table says (README.md); the first
# step that fails stops the script with that status.
#
#   station-example.sh PORT MODEL PROGRAM EEPROM ID OUT.hex
#   station-example.sh Com1 OV128 prog.hex ee.bin "LINE-7 A" chip-0001.hex
#
# ORVAN_CLI names the program (default: orvan-cli on the PATH).
set -u

if [ $# -ne 6 ]; then
    echo "usage: $0 PORT MODEL PROGRAM EEPROM ID OUT.hex" >&2
    exit 2
fi
port=$1 model=$2 program=$3 eeprom=$4 id=$5 out=$6
cli=${ORVAN_CLI:-orvan-cli}

# One orvan-cli step; on failure, what its status means, then exit with it.
step() {
    local name=$1
    shift
    "$cli" -P "$port" -d "$model" "$@"
    local rc=$?
    case $rc in
    0) return 0 ;;
    1) echo "$name: the chip failed: put it aside" ;;
    2) echo "$name: usage error: check this script's command line" ;;
    3) echo "$name: the writer is not reachable: check the port, cable and power" ;;
    4) echo "$name: a file cannot be read or written" ;;
    129 | 130 | 143) echo "$name: stopped by a signal" ;;
    141) echo "$name: the output's reader went away" ;;
    *) echo "$name: exit status $rc" ;;
    esac
    exit "$rc"
}

step connect connect
step program program "$program"
step program-id program-id "$program" --id "$id"
step program-eeprom program-eeprom "$eeprom"
step verify verify "$program" --id "$id" --eeprom "$eeprom"
step read read "$out"
echo "PASS $out"
