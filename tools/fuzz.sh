#!/bin/sh
# Builds the libFuzzer targets (OBJ/MTL parser, TGA reader, PNG decoding, Ogg
# decoding) with clang, ASan and UBSan, and runs each for a bounded time from
# a seed corpus: the hand-made seeds in tests/fuzz/seeds plus the generated
# demo data. A crash stops the script with the fuzzer's report and status 1.
#   FUZZ_SECONDS  seconds per target (default 30)
#   FUZZ_SEED     libFuzzer's random seed (default 0: a new one each run)
#   FUZZ_DATA     generated data directory (default build/data; made here if absent)
#   FUZZ_CXX      the compiler (default clang++-14, else clang++)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
seconds=${FUZZ_SECONDS:-30}
seed=${FUZZ_SEED:-0}
cxx=${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++)}
mkdir -p "$out"

data=${FUZZ_DATA:-$root/build/data}
if [ ! -f "$data/music.ogg" ]; then
    echo "fuzz: generating the demo data in $out/gen"
    cmake -S "$root" -B "$out/gen" -DDEMO_TESTS=OFF >"$out/gen.log" 2>&1
    cmake --build "$out/gen" --target data -j2 >>"$out/gen.log" 2>&1
    data=$out/gen/data
fi

flags="-std=c++17 -g -O1 -I$root -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
scene_src="scene/loader.cpp scene/mtl.cpp scene/tga.cpp platform/datadir.cpp platform/budget.cpp
    tests/fuzz/gl_stub.cpp"
build() { # name sources... -- libraries...
    name=$1
    shift
    echo "fuzz: building $name"
    (cd "$root" && $cxx $flags -o "$out/$name" "$@")
}
build fuzz_scene tests/fuzz/fuzz_scene.cpp $scene_src
build fuzz_tga tests/fuzz/fuzz_tga.cpp $scene_src
build fuzz_png tests/fuzz/fuzz_png.cpp platform/pixmap.cpp platform/datadir.cpp platform/budget.cpp \
    $(pkg-config --cflags --libs libpng)
build fuzz_ogg tests/fuzz/fuzz_ogg.cpp platform/audio/ogg.cpp platform/audio/vorbis_headers.cpp \
    platform/datadir.cpp \
    $(pkg-config --cflags --libs vorbisfile vorbis ogg)

# Seeds: fresh each run; the grown corpus is kept in $out/corpus.
seeds=$out/seeds
rm -rf "$seeds"
cp -r "$root/tests/fuzz/seeds" "$seeds"
for f in "$data"/*.tga; do cp "$f" "$seeds/tga/"; done
for f in "$data"/img0*.png "$data"/icon.png; do cp "$f" "$seeds/png/"; done
# The soundtrack cut short: headers alone, and a few pages of audio (the
# committed lying.ogg is its first pages, the last announcing 3.3 hours).
for n in 4096 12000 40000; do head -c $n "$data/music.ogg" >"$seeds/ogg/music_$n.ogg"; done
# Scenes with their libraries (read as m.mtl), textures pointed at the
# fuzzer's own t.tga.
for s in scene1 scene2; do
    { sed 's/^mtllib .*/mtllib m.mtl/' "$data/$s.obj"; printf '\000'
      sed 's/^map_Kd .*/map_Kd t.tga/' "$data/$s.mtl"; } >"$seeds/scene/$s"
    # Its first lines with the whole library: short enough for many runs a second.
    { head -c 6000 "$data/$s.obj" | sed '$d' | sed 's/^mtllib .*/mtllib m.mtl/'; printf '\000'
      sed 's/^map_Kd .*/map_Kd t.tga/' "$data/$s.mtl"; } >"$seeds/scene/${s}_head"
done

# Leaks count as findings, but for one in libvorbisfile itself (see the file).
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The scene target's scratch files, gone with the script even after a crash.
export TMPDIR=$out/tmp
mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT
status=0
for name in fuzz_scene fuzz_tga fuzz_png fuzz_ogg; do
    kind=${name#fuzz_}
    max_len=262144
    [ "$kind" = scene ] && max_len=65536
    mkdir -p "$out/corpus/$kind" "$out/crashes/$kind"
    echo "fuzz: running $name for $seconds s"
    if (cd "$out/crashes/$kind" && "$out/$name" -max_total_time="$seconds" -seed="$seed" -timeout=10 \
        -rss_limit_mb=2048 -max_len=$max_len -print_final_stats=1 \
        "$out/corpus/$kind" "$seeds/$kind" >"$out/$name.log" 2>&1); then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log")
        echo "fuzz: $name: $runs executions, no crash"
    else
        echo "fuzz: $name: FAILED, see $out/$name.log and $out/crashes/$kind"
        tail -n 40 "$out/$name.log"
        status=1
    fi
done
exit $status
