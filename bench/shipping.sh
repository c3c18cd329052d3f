#!/usr/bin/env bash
# Shipping benchmarks (needs a display; under Xvfb on a headless machine):
#  1. zumbrix --render-video at 1280x720 and 60 fps against --render-frames
#     plus the ffmpeg program encoding those frames at the same settings
#     (H.264 crf 23 preset medium, a key frame every 2 s, yuv420p BT.709, AAC
#     192 kb/s), side by side on the same stretch of the demo. Judged by:
#     direct / two-step <= 1.2.
#  2. The start-up of a bundle of the demo's archive against zumbrix with
#     the same archive built in: the median of several whole runs of
#     --benchmark over a few frames, and the start-up zumbrix reports.
#     Judged by: bundle / built-in <= 1.1.
# BENCH_VIDEO_SECONDS (default 10) and BENCH_VIDEO_START (default 30) choose
# the stretch; BENCH_RUNS (default 5) the start-up runs.
set -euo pipefail
build=${1:-build}
seconds=${BENCH_VIDEO_SECONDS:-10}
start=${BENCH_VIDEO_START:-30}
runs=${BENCH_RUNS:-5}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

now() { date +%s.%N; }
span=(--window 1280x720 --fps 60 --start "$start" --duration "$seconds")

echo "--render-video against --render-frames + ffmpeg: ${seconds} s from ${start} s at 1280x720, 60 fps"
t0=$(now)
"$build/zumbrix" --render-video "$tmp/direct.mp4" "${span[@]}" 2>/dev/null >/dev/null
t1=$(now)
"$build/zumbrix" --render-frames "$tmp/frames" "${span[@]}" >/dev/null
t2=$(now)
ffmpeg -v error -y -framerate 60 -i "$tmp/frames/frame_%05d.tga" -i "$tmp/frames/audio.wav" \
    -c:v libx264 -preset medium -crf 23 -g 120 -bf 3 -pix_fmt yuv420p \
    -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
    -c:a aac -b:a 192k -movflags +faststart "$tmp/two-step.mp4"
t3=$(now)
awk -v a="$t0" -v b="$t1" -v c="$t2" -v d="$t3" 'BEGIN {
    direct = b - a; frames = c - b; encode = d - c;
    printf "render-video: %.2f s\n", direct;
    printf "render-frames: %.2f s + ffmpeg: %.2f s = %.2f s\n", frames, encode, frames + encode;
    printf "ratio render-video / (render-frames + ffmpeg): %.3f (goal <= 1.2)\n", direct / (frames + encode) }'
ls -l "$tmp/direct.mp4" "$tmp/two-step.mp4" | awk '{ print "  " $5 " bytes " $9 }'

echo "bundle start-up against the built-in archive (median of $runs runs)"
"$build/mirel" bundle "$build/app/FILES.pck" -o "$tmp/bundle" --engine "$build/zumbrix"
# One run: "<whole run in s> <start-up in ms>".
run_once() {
    local a b out
    a=$(now)
    out=$("$1" --benchmark --window 320x240 --duration 0.05)
    b=$(now)
    awk -v a="$a" -v b="$b" -v s="$(sed -n 's/^start-up: \([0-9.]*\) ms.*/\1/p' <<<"$out")" \
        'BEGIN { printf "%.4f %s\n", b - a, s }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The two alternate, so that a busy moment of a shared machine hits both.
: >"$tmp/builtin" >"$tmp/bundle.times"
for _ in $(seq "$runs"); do
    run_once "$build/zumbrix" >>"$tmp/builtin"
    run_once "$tmp/bundle" >>"$tmp/bundle.times"
done
builtin_wall=$(cut -d' ' -f1 "$tmp/builtin" | median)
builtin_startup=$(cut -d' ' -f2 "$tmp/builtin" | median)
bundle_wall=$(cut -d' ' -f1 "$tmp/bundle.times" | median)
bundle_startup=$(cut -d' ' -f2 "$tmp/bundle.times" | median)
awk -v bw="$builtin_wall" -v bs="$builtin_startup" -v uw="$bundle_wall" -v us="$bundle_startup" 'BEGIN {
    printf "built-in: whole run %.3f s, start-up %.1f ms\n", bw, bs;
    printf "bundle:   whole run %.3f s, start-up %.1f ms\n", uw, us;
    printf "ratio bundle / built-in: whole run %.3f, start-up %.3f (goal <= 1.1)\n", uw / bw, us / bs }'
