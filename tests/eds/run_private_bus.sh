#!/usr/bin/env bash
# Runs a command under a private session bus, with HOME and the XDG folders in a temporary
# directory that is removed afterwards (with the EDS services the bus started).
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_CACHE_HOME=$dir/cache \
  XDG_RUNTIME_DIR=$dir/run GSETTINGS_BACKEND=memory
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The bus and the services it starts write to a log; the command keeps this script's output.
dbus-run-session -- sh -c 'exec "$@" 1>&4 2>&3' sh "$@" 3>&2 4>&1 >"$dir/bus.log" 2>&1
