# A private X desktop for end-to-end tests: session bus, Xvfb, openbox, the AT-SPI bus
# and a tray host. Source this file, call `desktop_start [WIDTHxHEIGHT]`, and
# `desktop_stop` (also run on exit). Every process started here is stopped by PID.

DESKTOP_PIDS=()
DESKTOP_SERVICES=0 # how many of DESKTOP_PIDS are the desktop itself (bus, X server, window manager…)
DESKTOP_TMP=""

desktop_log() { echo "[desktop] $*" >&2; }

desktop_wait_for() { # seconds command…
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

desktop_start() {
    local size=${1:-1920x1080}
    DESKTOP_TMP=$(mktemp -d /tmp/ombrel-desktop.XXXXXX)
    export HOME="$DESKTOP_TMP/home" XDG_CONFIG_HOME="$DESKTOP_TMP/home/.config" \
        XDG_DATA_HOME="$DESKTOP_TMP/home/.local/share" XDG_CACHE_HOME="$DESKTOP_TMP/home/.cache" \
        XDG_RUNTIME_DIR="$DESKTOP_TMP/run"
    mkdir -p "$HOME/Pictures" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    # Keep the user's folders where we expect them, with no desktop settings of the machine.
    printf 'XDG_PICTURES_DIR="$HOME/Pictures"\n' >"$XDG_CONFIG_HOME/user-dirs.dirs"
    # Someone who has used the program before, so no welcome window, help page or release
    # notes stand in the tests' way; DESKTOP_NEW_USER=1 starts as a new user instead.
    if [ "${DESKTOP_NEW_USER:-}" != 1 ]; then
        mkdir -p "$XDG_CONFIG_HOME/Ombrel"
        printf '[General]\nwelcomeShown=true\nhasSeenHelp=true\n' >"$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"
        if [ -n "${APP:-}" ]; then
            printf 'whatsNewSeenVersion=%s\n' "$("$APP" --version | awk '{print $2}')" \
                >>"$XDG_CONFIG_HOME/Ombrel/Ombrel Capture.conf"
        fi
    fi

    # The session bus first, so no X client autolaunches a stray one.
    local bus
    bus=$(timeout 3600 dbus-daemon --session --fork --print-address=1 --print-pid=1 --nopidfile) || return 1
    export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
    DESKTOP_PIDS+=("$(echo "$bus" | sed -n 2p)")

    # Xvfb picks a free display number itself and writes it to the pipe, so tests
    # running side by side never race for one.
    mkfifo "$DESKTOP_TMP/displayfd"
    timeout 3600 Xvfb -displayfd 7 -screen 0 "${size}x24" -nolisten tcp -noreset \
        7>"$DESKTOP_TMP/displayfd" >"$DESKTOP_TMP/xvfb.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    local n
    read -r -t 20 n <"$DESKTOP_TMP/displayfd" || { desktop_log "Xvfb did not start"; cat "$DESKTOP_TMP/xvfb.log" >&2; return 1; }
    export DISPLAY=":$n"
    desktop_wait_for 20 xdpyinfo || { desktop_log "Xvfb did not answer"; return 1; }
    xsetroot -solid '#5a7fa8'

    timeout 3600 openbox --sm-disable >"$DESKTOP_TMP/openbox.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    desktop_wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { desktop_log "openbox did not start"; return 1; }

    if [ -x /usr/libexec/at-spi-bus-launcher ]; then
        timeout 3600 /usr/libexec/at-spi-bus-launcher --launch-immediately >"$DESKTOP_TMP/atspi.log" 2>&1 &
        DESKTOP_PIDS+=($!)
        desktop_wait_for 20 sh -c 'xprop -root AT_SPI_BUS | grep -q "="' || desktop_log "AT-SPI bus did not answer"
        dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
            org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
            >/dev/null 2>&1 || true
    fi

    timeout 3600 trayer --edge top --align right --widthtype pixel --width 120 --height 32 --transparent false \
        --tint 0x303030 --expand false --SetDockType true >"$DESKTOP_TMP/trayer.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    desktop_wait_for 20 sh -c 'xdotool search --class trayer | grep -q .' || desktop_log "trayer did not start"
    export QT_QPA_PLATFORM=xcb OMBREL_BUNDLE_ID=com.ombrel.capture.tests
    DESKTOP_SERVICES=${#DESKTOP_PIDS[@]}
    desktop_log "desktop $DISPLAY ($size) is up"
}

desktop_stop() {
    local pid i
    # The programs first, newest first, while the X server and the buses still answer, so
    # they end as they would at logout rather than dying with a broken display.
    for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= ${DESKTOP_SERVICES:-0}; i--)); do
        kill "${DESKTOP_PIDS[i]}" 2>/dev/null || true
    done
    for ((i = 0; i < 30; i++)); do
        local running=0
        for pid in "${DESKTOP_PIDS[@]:${DESKTOP_SERVICES:-0}}"; do
            kill -0 "$pid" 2>/dev/null && running=1
        done
        ((running)) || break
        sleep 0.1
    done
    for pid in "${DESKTOP_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    sleep 0.2
    # Each was started under `timeout`, which leads a process group of its own: the whole
    # group goes, so nothing it started (a browser's helpers) outlives the test.
    for pid in "${DESKTOP_PIDS[@]}"; do
        kill -9 -- "-$pid" 2>/dev/null || kill -9 "$pid" 2>/dev/null || true
    done
    DESKTOP_PIDS=()
    DESKTOP_SERVICES=0
    # E2E_KEEP_LOG=FILE keeps the program's log of the run (with QT_LOGGING_RULES, its readings).
    if [ -n "${E2E_KEEP_LOG:-}" ] && [ -f "$DESKTOP_TMP/app.log" ]; then
        cp "$DESKTOP_TMP/app.log" "$E2E_KEEP_LOG" || desktop_log "could not keep the log in $E2E_KEEP_LOG"
    fi
    [ -n "$DESKTOP_TMP" ] && rm -rf "$DESKTOP_TMP"
    DESKTOP_TMP=""
}

# Starts a program in the background with a time limit, remembering it for desktop_stop.
desktop_spawn() { # seconds command…
    local limit=$1; shift
    timeout "$limit" "$@" &
    DESKTOP_PIDS+=($!)
    echo $!
}

# A private sound server with a test microphone: a null sink "speaker" whose monitor is
# remapped into the source "mic", both the defaults. What is played into the sink is heard on
# the microphone.
desktop_microphone() {
    desktop_spawn 300 pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        -L module-native-protocol-unix -L "module-null-sink sink_name=speaker" \
        -L "module-remap-source master=speaker.monitor source_name=mic" >"$DESKTOP_TMP/pulse.log" 2>&1
    wait_for 20 pactl info || { echo "the sound server did not start" >&2; exit 1; }
    pactl set-default-sink speaker
    pactl set-default-source mic
}

# Checks for the scripts: `check DESCRIPTION COMMAND…` runs the command and says "ok" or
# "FAILED" with the description; a failure ends the script (after `on_failure`, when the
# script defines one). `e2e_summary` prints the closing count.
E2E_PASSED=0
check() {
    local what=$1; shift
    if "$@"; then
        E2E_PASSED=$((E2E_PASSED + 1)); echo "ok - $what"
    else
        echo "FAILED - $what" >&2
        if declare -F on_failure >/dev/null; then on_failure >&2 || true; fi
        exit 1
    fi
}
wait_for() { desktop_wait_for "$@"; }
e2e_summary() { echo "$E2E_PASSED passed, 0 failed"; }
