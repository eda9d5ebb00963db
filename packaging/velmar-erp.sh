#!/bin/sh
# Starts the installed client; its settings and cache live in the user's
# data folder ($XDG_DATA_HOME/VelmarERP, by default ~/.local/share/VelmarERP).
exec /opt/velmar-erp/VelmarERP "$@"
