#!/usr/bin/env bash
# korimo-cli's bash completion, asked as bash asks it (COMP_WORDS, COMP_CWORD)
# in a plain non-interactive bash: commands, sub-commands, each command's own
# options, the values of --model, options and their values skipped wherever
# they stand, and file names for the backup commands.
#
#   completion_test.sh COMPLETION_FILE
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
failures=0
expect() {
  local wanted=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _korimo_cli
  local got="${COMPREPLY[*]}"
  if [ "$got" != "$wanted" ]; then
    echo "FAIL: [$*] offers \"$got\", expected \"$wanted\""
    failures=$((failures + 1))
  fi
}
expect "eeprom" korimo-cli e
expect "list find read set eeprom clear-id backup restore diff history undo provision report home inputs positions help" korimo-cli ""
expect "KX2 KX3" korimo-cli provision --model K
expect "--overwrite-serial" korimo-cli provision --serials 100-199 --o
expect "--include-identity --include-serial" korimo-cli restore --inc
expect "" korimo-cli --device 2 list --device ""
expect "eeprom" korimo-cli --sim e
expect "read restore report" korimo-cli --timeout 3 r
expect "read restore report" korimo-cli --timeout = 3 r
expect "write" korimo-cli eeprom w
expect "" korimo-cli eeprom write ""
expect "" korimo-cli positions ""
expect "KX2 KX3" korimo-cli set --model K
expect "KX2 KX3" korimo-cli set --model = K
expect "none" korimo-cli set --serial 12 --model n
expect "--version --vector --verify" korimo-cli set --v
expect "--device --dry-run" korimo-cli restore --d
expect "--no-history" korimo-cli eeprom write --n
expect "--all" korimo-cli history --a
expect "--include-identity --include-serial" korimo-cli --sim restore --inc
expect "--force" korimo-cli backup --f
expect "--json" korimo-cli read --j
expect "--yes" korimo-cli clear-id --y
expect "" korimo-cli home --y
expect "--sim --trace --timeout --device --help --version" korimo-cli --
expect "" korimo-cli read --timeout ""
expect "--log --ledger" korimo-cli provision --l
expect "--sim --serials --station" korimo-cli provision --ledger DSN=korimo --s

# A file operand: the folder's entries, once.
folder=$(mktemp -d)
touch "$folder/board-4661.txt" "$folder/board-4662.txt"
expect "$folder/board-4661.txt" korimo-cli backup "$folder/board-4661"
expect "$folder/board-4661.txt $folder/board-4662.txt" korimo-cli --sim diff "$folder/board"
expect "" korimo-cli diff "$folder/board-4661.txt" ""
expect "$folder/board-4662.txt" korimo-cli provision --log "$folder/board-4662"
expect "$folder/board-4661.txt" korimo-cli report "$folder/board-4661"
rm -rf "$folder"

if ((failures)); then
  exit 1
fi
echo "completion: all cases pass"
