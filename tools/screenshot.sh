#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window, maximized on a 1280x800 virtual screen, with a
# small sample catalog open. Builds the programs when build/ lacks them; installs what is
# missing (bash tools/packages.sh --with-extras: Xvfb, ImageMagick, Openbox, xdotool).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build"
output="$top/docs/screenshot.png"

if [ "${1:-}" != "--on-display" ]; then
  bash "$top/tools/packages.sh" --with-extras
  if [ ! -x "$build/app/vellumark" ] || [ ! -x "$build/app/vellumark-cli" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
    cmake --build "$build" -j"$(nproc)" --target vellumark vellumark-cli
  fi
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" --on-display
fi

work="$(mktemp -d)"
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap finish EXIT

# A portable copy of the program: its folder is its program folder, so the sample library
# stays out of the build tree and out of the user's data.
portable="$work/Vellumark"
mkdir -p "$portable"
cp "$build/app/vellumark" "$build/app/vellumark-cli" "$portable/"

# The sample medium: a holiday disc with photos, videos and music. Sparse files give the sizes
# without taking the space.
disc="$work/Holiday 2025"
sample_file() {  # PATH SIZE DATE
  mkdir -p "$(dirname "$disc/$1")"
  truncate -s "$2" "$disc/$1"
  touch -d "$3" "$disc/$1"
}
for day in 03 04 05 06; do
  for shot in 1 2 3; do
    sample_file "Photos/Beach/IMG_2025_08${day}_0${shot}.jpg" "$((2 + shot))M" "2025-08-$day 1$shot:$day"
  done
done
for shot in 1 2 3 4 5; do
  sample_file "Photos/Mountains/IMG_2025_0812_0${shot}.jpg" "$((3 + shot % 3))M" "2025-08-12 09:1$shot"
done
sample_file "Photos/Mountains/Panorama summit.tif" 48M "2025-08-12 11:42"
sample_file "Videos/Sunset at the pier.mp4" 412M "2025-08-05 20:31"
sample_file "Videos/Boat trip.mp4" 268M "2025-08-07 15:02"
sample_file "Videos/Waterfall.mov" 97M "2025-08-13 10:15"
sample_file "Music/Road trip/01 - Morning drive.mp3" 7M "2025-07-28 18:00"
sample_file "Music/Road trip/02 - Coastline.mp3" 9M "2025-07-28 18:00"
sample_file "Music/Road trip/03 - Long way home.mp3" 6M "2025-07-28 18:00"
sample_file "Route.gpx" 180K "2025-08-14 21:10"
sample_file "Travel notes.txt" 12K "2025-08-14 21:30"
sample_file "README.txt" 2K "2025-08-15 08:00"
find "$disc" -type d -exec touch -d "2025-08-15 09:00" {} +

# The catalog, its root named as a user would name the disc (which also keeps the scratch
# folder's path out of the picture), and a description.
cli=("$portable/vellumark-cli" --home "$portable")
"${cli[@]}" scan "$disc" --name "Holiday 2025" > /dev/null
"${cli[@]}" edit "Holiday 2025.xml" --entry "$disc" --name "Holiday 2025" > /dev/null
"${cli[@]}" edit "Holiday 2025.xml" --entry "Holiday 2025/Videos/Sunset at the pier.mp4" \
  --description "Best of the trip" > /dev/null

# Wider panes and columns than the defaults, so that names show whole on the picture.
widths=(FileName 270 FullPath 200 FileSize 105 FileTime 135 FileExt 60 Description 110)
edits=(-e 's/<plLeft width="308" col1="127"/<plLeft width="380" col1="200"/')
for ((i = 0; i < ${#widths[@]}; i += 2)); do
  edits+=(-e "s/\\(Name=\"${widths[i]}\" [^>]*Width=\"\\)[0-9]*/\\1${widths[i + 1]}/")
done
sed -i "${edits[@]}" "$portable/VellumarkConfig.xml"

# A window manager maximizes the window as the configuration asks; without one, the
# configuration gives the window the whole screen.
if command -v openbox > /dev/null; then
  openbox > /dev/null 2>&1 &
  pids+=($!)
  sleep 1
else
  sed -i 's/<frame max="True" left="0" top="0" height="600" width="800"/<frame max="False" left="0" top="0" height="800" width="1280"/' \
    "$portable/VellumarkConfig.xml"
fi
(cd "$portable" && exec ./vellumark) > /dev/null 2>&1 &
pids+=($!)
window="$(xdotool search --sync --onlyvisible --name '^Vellumark')"
sleep 2
xdotool windowactivate --sync "$window" 2> /dev/null || true

# Open the catalog: the main window opens the catalog clicked in the library tree (top left).
# Clicking down the tree's header and rows leaves the catalog open, whatever the fonts make the
# row height: a header click sorts the tree, and sorted either way the groups stay above the
# catalogs, so the catalog is the last row. The pause keeps two clicks from making a double click.
# Positions are in the window.
for ((y = 80; y <= 300; y += 6)); do
  xdotool mousemove --window "$window" 60 "$y" click 1
  sleep 0.6
done
# Then the list: a click on its empty lower part gives it the focus, Home makes the catalog's
# root the current row and "*" unfolds everything below it.
xdotool mousemove --window "$window" 800 600 click 1
sleep 0.5
xdotool key Home
sleep 0.5
xdotool key asterisk
sleep 1
xdotool mousemove --window "$window" 1000 20
sleep 0.5

mkdir -p "$(dirname "$output")"
import -window root "$output"
echo "Screenshot: $output"
