#!/usr/bin/env bash
# Builds and runs the benchmarks, printing their numbers. Benchmarks that need an X
# display run on private Xvfb desktops of 1920 × 1080 and 5120 × 2880.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
source tests/e2e/desktop.sh
trap desktop_stop EXIT
for size in 1920x1080 5120x2880; do
    desktop_start "$size"
    # Some windows on screen, as on a real desktop.
    for i in 1 2 3; do
        desktop_spawn 600 build/tests/e2e/pngprobe window "bench $i" "#40${i}0a0" $((i * 200)) $((i * 120)) 900 600 >/dev/null
    done
    sleep 1
    echo "== screen grab on a $size screen =="
    build/bench/bench_screen_grab --benchmark_min_time=2
    if [ "$size" = 1920x1080 ]; then
        echo "== editor shown on a real X display =="
        QT_QPA_PLATFORM=xcb build/bench/bench_editor_open
        echo "== hot key to editor shown =="
        xdotool mousemove 960 540
        QT_QPA_PLATFORM=xcb build/bench/bench_hotkey_editor 15
        echo "== Recent panel shown on a real X display =="
        QT_QPA_PLATFORM=xcb build/bench/bench_recent_panel --benchmark_filter=OpenRecent
        echo "== recording 1080p30, a page scrolling under the pointer =="
        desktop_spawn 600 build/tests/e2e/pngprobe longpage "bench page" 300 100 1200 860 >/dev/null
        sleep 1
        xdotool mousemove 900 500
        (for _ in $(seq 400); do xdotool click 5 mousemove_relative 3 2; sleep 0.05; done) &
        scroller=$!
        QT_QPA_PLATFORM=xcb build/bench/bench_recording_cpu 10
        kill "$scroller" 2>/dev/null || true
        wait "$scroller" 2>/dev/null || true
        echo "== element reading of a Chromium window =="
        desktop_spawn 300 chromium --test-type --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
            --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
            --user-data-dir="$(mktemp -d "$DESKTOP_TMP/chromium.XXXXXX")" --force-renderer-accessibility \
            --window-position=100,60 --window-size=1400,900 "file://$PWD/tests/e2e/understanding/page.html" \
            >/dev/null 2>&1
        desktop_wait_for 60 sh -c 'xdotool search --name "^shop login" | grep -q .'
        sleep 3
        page=$(xdotool search --name "^shop login" | head -1)
        eval "$(xdotool getwindowgeometry --shell "$page")"
        OMBREL_BENCH_PID=$(xdotool getwindowpid "$page") OMBREL_BENCH_AREA="$X $Y $WIDTH $HEIGHT" \
            QT_QPA_PLATFORM=xcb build/bench/bench_element_reading
        # Text reading of real screenshots: the form page above as it stands on the desktop,
        # then a page dense with text (an article with a code block) filling the screen.
        import -window root "$DESKTOP_TMP/form-page.png"
        echo "== text reading of a screenshot of the form page =="
        OMBREL_BENCH_PICTURE="$DESKTOP_TMP/form-page.png" build/bench/bench_text_reading
        desktop_spawn 300 chromium --test-type --no-sandbox --disable-gpu --no-first-run --no-default-browser-check \
            --disable-background-networking --disable-component-update --disable-sync --password-store=basic \
            --user-data-dir="$(mktemp -d "$DESKTOP_TMP/chromium.XXXXXX")" \
            --window-position=0,0 --window-size=1920,1080 "file://$PWD/bench/pages/article.html" >/dev/null 2>&1
        desktop_wait_for 60 sh -c 'xdotool search --name "^release notes" | grep -q .'
        sleep 3
        import -window root "$DESKTOP_TMP/article-page.png"
        echo "== text reading of a screenshot of a page dense with text =="
        OMBREL_BENCH_PICTURE="$DESKTOP_TMP/article-page.png" build/bench/bench_text_reading
    fi
    desktop_stop
done
for b in build/bench/bench_*; do
    case "$(basename "$b")" in bench_screen_grab | bench_recording_cpu | bench_element_reading | bench_hotkey_editor) continue ;; esac
    echo "== $(basename "$b") =="
    QT_QPA_PLATFORM=offscreen "$b"
done
