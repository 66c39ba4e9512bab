# The checks of the Windows end-to-end scripts (sourced): `check DESCRIPTION COMMAND...` counts a
# check and tells a failed one under the script's name; `checks_summary` tells the count and
# answers whether all held.
failed=0 checks=0
check_name=$(basename "$0" .sh)
check() {
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then echo "$check_name: FAIL: $what"; failed=$((failed + 1)); fi
}
checks_summary() {
  echo "$check_name: ${1:+$1; }$((checks - failed)) of $checks checks passed"
  [ "$failed" -eq 0 ]
}
