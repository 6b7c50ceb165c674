#!/usr/bin/env bash
# After a ctest run in the build folder $1: which tests skipped themselves and
# why (the text each gave GTEST_SKIP), which ctest's own summary leaves out.
set -euo pipefail
log=${1:-build}/Testing/Temporary/LastTest.log
[ -f "$log" ] || exit 0
awk '/^\[ RUN      \] / { name = $4 }
     /: Skipped$/ && name != "" {
       why = ""; getline why
       if (why == "") why = "(no reason given)"
       list = list "  " name ": " why "\n"
     }
     END { if (list != "") printf "Skipped, and why:\n%s", list }' "$log"
