# Starts the simulated writer for ./run when no writer is configured. Sourced.
#
#   orvan_start_sim BUILD_DIR   when the working directory has no ports.map:
#                               start BUILD_DIR/sim/writer-sim (flash model
#                               OV128 in the socket, universal writer, a fresh
#                               chip after every completed run) and write a
#                               temporary ports.map mapping Com1 to it.
#                               With a ports.map present it does nothing.
#   orvan_stop_sim              stop the simulator and remove that ports.map
#                               (also run on exit, once started).

ORVAN_SIM_PID=""
ORVAN_SIM_MAP=""
ORVAN_SIM_DIR=""

orvan_start_sim() {
    local build=$1
    [ -e ports.map ] && return 0
    local sim="$build/sim/writer-sim"
    if [ ! -x "$sim" ]; then
        echo "warning: $sim not built; starting without a simulated writer" >&2
        return 0
    fi
    ORVAN_SIM_DIR=$(mktemp -d "${TMPDIR:-/tmp}/orvan-sim.XXXXXX") || return 0
    ORVAN_SIM_MAP="$PWD/ports.map"
    "$sim" --model OV128 --type universal --image "$ORVAN_SIM_DIR/chip.img" --fresh-chip \
        --ports-map "$ORVAN_SIM_MAP" --port Com1 \
        >"$ORVAN_SIM_DIR/sim.out" 2>"$ORVAN_SIM_DIR/sim.log" &
    ORVAN_SIM_PID=$!
    trap orvan_stop_sim EXIT
    local i
    for i in $(seq 50); do
        [ -s "$ORVAN_SIM_DIR/sim.out" ] && [ -e "$ORVAN_SIM_MAP" ] && break
        kill -0 "$ORVAN_SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -e "$ORVAN_SIM_MAP" ]; then
        echo "warning: writer-sim did not start (see $ORVAN_SIM_DIR/sim.log)" >&2
        orvan_stop_sim
        return 0
    fi
    echo "== Simulated writer on $(head -n 1 "$ORVAN_SIM_DIR/sim.out") as Com1;" \
         "chips kept in $ORVAN_SIM_DIR (chip.img, chip.img.1, ...)"
}

orvan_stop_sim() {
    if [ -n "$ORVAN_SIM_PID" ]; then
        kill "$ORVAN_SIM_PID" 2>/dev/null
        wait "$ORVAN_SIM_PID" 2>/dev/null
        ORVAN_SIM_PID=""
    fi
    if [ -n "$ORVAN_SIM_MAP" ]; then
        rm -f "$ORVAN_SIM_MAP"
        ORVAN_SIM_MAP=""
    fi
}
