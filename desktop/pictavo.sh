#!/bin/sh
# Starts Pictavo from its program folder, where its templates and data lie.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/pictavo/pictavo" "$@"
