#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch root and uses
# it as a user and another program's developer would: the installed viewer and motion
# set-up play from the installed simulated camera with settings under XDG_CONFIG_HOME
# only, and a C program built with nothing but the installed pkg-config file decodes an
# MPEG-4 clip to the pictures FFmpeg decodes from it.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
here="$2"
scratch="$(mktemp -d)"
camsim_pid=
cleanup() {
  [ -n "$camsim_pid" ] && kill "$camsim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# gzip instead of xz: the contents are what is checked, and xz costs most of the time.
cpack -G DEB -B "$scratch/pkg" --config "$build/CPackConfig.cmake" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=("$scratch"/pkg/kestrova_*.deb)
[ -f "${deb[0]}" ] || fail "no package in $scratch/pkg"
depends="$(dpkg-deb -f "${deb[0]}" Depends)"
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libcurl4 libjpeg62-turbo libavcodec libmicrohttpd; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

root="$scratch/root"
dpkg -x "${deb[0]}" "$root"
usr="$root/usr"
for f in bin/kestrova bin/wardline bin/kestrova-page bin/camsim \
  lib/kestrova/libkestrova.so lib/kestrova/libwardline.so \
  share/kestrova/examples/live-view.js share/kestrova/examples/motion.js \
  share/icons/hicolor/scalable/apps/kestrova.svg share/icons/hicolor/scalable/apps/wardline.svg \
  share/man/man1/kestrova.1.gz share/man/man1/wardline.1.gz share/man/man1/kestrova-page.1.gz \
  share/man/man1/camsim.1.gz share/doc/kestrova/copyright include/kestrova/codecs.h; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done
desktop-file-validate "$usr"/share/applications/kestrova.desktop \
  "$usr"/share/applications/wardline.desktop || fail "desktop entries"
man -l "$usr/share/man/man1/kestrova.1.gz" | grep -q -- "--headless" || fail "man page"

# The codecs library: versioned soname, and only the decoder functions leave it.
codecs="$(find "$usr/lib" -name libkestrova-codecs.so.1 | head -1)"
[ -f "$codecs" ] || fail "no libkestrova-codecs.so.1"
objdump -p "$codecs" | grep -q 'SONAME *libkestrova-codecs.so.1$' || fail "soname"
exports="$(nm -D --defined-only "$codecs" | awk '$2 == "T" {print $3}' | sed 's/@.*//' | sort | tr '\n' ' ')"
expected="ConvertYUVtoRGB G726_dec G726_decoder_create G726_decoder_destroy MotionDetect decoder_create decoder_decode decoder_destroy decoder_set_output_capacity delete_YUV2RGB_tab init_YUV2RGB_tab "
[ "$exports" = "$expected" ] || fail "exports: $exports"

# A user's session: private home, no settings override, offscreen display.
home="$scratch/home"
mkdir -p "$home/config" "$home/Pictures" "$home/run"
chmod 700 "$home/run"
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen
unset KESTROVA_SETTINGS
touch "$scratch/before"
"$usr/bin/camsim" --port 0 > "$scratch/camsim.out" 2>&1 &
camsim_pid=$!
url=
for _ in $(seq 100); do
  url="$(grep -o 'http://[0-9.:]*/' "$scratch/camsim.out" | head -1 || true)"
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || { cat "$scratch/camsim.out"; fail "camsim printed no URL"; }
stats="$("$usr/bin/kestrova" --headless --seconds 2 --stats --snapshot "$scratch/shot.jpg" "${url}img/video.asf")" ||
  fail "kestrova exited with $?"
echo "kestrova: $stats"
grep -q '"mpeg4":[1-9]' <<<"$stats" || fail "no MPEG-4 picture decoded"
[ -s "$scratch/shot.jpg" ] || fail "no snapshot"
"$usr/bin/wardline" --headless --dump "${url%/}" > "$scratch/dump.json" || fail "wardline"
grep -q '"areas"\|area' "$scratch/dump.json" || fail "wardline dump: $(cat "$scratch/dump.json")"
ini="$XDG_CONFIG_HOME/kestrova/registry.ini"
grep -q "$usr/lib/kestrova/libkestrova.so" "$ini" || fail "viewer not registered in $ini"
grep -q "$usr/lib/kestrova/libwardline.so" "$ini" || fail "motion control not registered in $ini"
written="$(find "$root" -newer "$scratch/before" ! -type d)"
[ -z "$written" ] || fail "written beside the programs: $written"

# Another program's developer: the installed headers and pkg-config file alone.
export PKG_CONFIG_SYSROOT_DIR="$root"
export PKG_CONFIG_PATH="$(dirname "$(find "$usr/lib" -name kestrova-codecs.pc)")"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror -o "$scratch/decode_clip" "$here/decode_clip.c" \
  $(pkg-config --cflags --libs kestrova-codecs) || fail "building the C program"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i testsrc=size=176x144:rate=25 \
  -frames:v 12 -pix_fmt yuv420p -c:v mpeg4 -qscale:v 5 -g 6 -bf 0 -f m4v "$scratch/clip.m4v"
ffmpeg -nostdin -hide_banner -loglevel error -i "$scratch/clip.m4v" -f rawvideo \
  -pix_fmt yuv420p "$scratch/reference.yuv"
LD_LIBRARY_PATH="$(dirname "$codecs")" "$scratch/decode_clip" "$scratch/clip.m4v" \
  > "$scratch/ours.yuv" || fail "decode_clip"
[ "$(stat -c %s "$scratch/ours.yuv")" -eq $((176 * 144 * 3 / 2 * 12)) ] || fail "picture count"
# The two decoders' inverse transforms may round differently: close, not identical.
raw=(-f rawvideo -pix_fmt yuv420p -s 176x144)
psnr="$(ffmpeg -nostdin -hide_banner "${raw[@]}" -i "$scratch/ours.yuv" "${raw[@]}" \
  -i "$scratch/reference.yuv" -lavfi psnr -f null - 2>&1 | grep -o 'min:[0-9.inf]*' | tail -1)"
echo "PSNR against FFmpeg's pictures, worst picture: ${psnr#min:} dB"
awk -v p="${psnr#min:}" 'BEGIN { exit !(p == "inf" || p + 0 >= 35) }' ||
  fail "pictures differ from FFmpeg's (${psnr:-no PSNR})"
echo "package test passed"
