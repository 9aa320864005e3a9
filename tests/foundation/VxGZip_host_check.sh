#!/usr/bin/env bash
# The gzip files that foundation_tests writes (into the tests' working folder)
# must pass the host's gzip -t: another implementation checks the writer's
# framing, CRC-32 and length. A file that passes is removed, so that a later
# check never passes on a file left by an earlier run.
#
#   VxGZip_host_check.sh <folder> <file>...
set -euo pipefail
cd "$1"
shift
status=0
for file in "$@"; do
  if [ ! -f "$file" ]; then
    echo "gzip_host_check: $file is missing (foundation_tests did not write it)"
    status=1
  elif gzip -t "$file"; then
    rm -f "$file"
  else
    echo "gzip_host_check: gzip -t refuses $file"
    status=1
  fi
done
exit $status
