#!/usr/bin/env bash
# Builds the Debian package (vellumark_VERSION-REVISION_ARCH.deb, in the top folder) from a
# build of its own with Debian's build flags; installs what is missing first.
#   bash tools/package.sh           build the package
#   bash tools/package.sh --check   build it, then run lintian, desktop-file-validate and
#                                   appstreamcli on what the package holds
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
check=false
[ "${1:-}" = "--check" ] && check=true

bash "$top/tools/packages.sh"
# dpkg-shlibdeps (dpkg-dev) declares the libraries the programs need; CPack finds the
# programs with file.
needed=(dpkg-dev file)
$check && needed+=(lintian desktop-file-utils appstream)
missing=()
for package in "${needed[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's flags, hardened as a Debian build is; the manual pages take their date from the
# last commit so that two builds of one commit give the same pages.
cd "$top"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || date +%s)"
  export SOURCE_DATE_EPOCH
fi
cppflags="$(dpkg-buildflags --get CPPFLAGS)"
build="$top/build-package"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DVELLUMARK_TESTS=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" > /dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package")
debs=("$build"/package/vellumark_*.deb)
cp "${debs[0]}" "$top/"
deb="$top/$(basename "${debs[0]}")"
echo "Package: $deb"

if $check; then
  contents="$(mktemp -d)"
  trap 'rm -rf "$contents"' EXIT
  dpkg-deb -x "$deb" "$contents"
  echo "== desktop-file-validate"
  desktop-file-validate "$contents"/usr/share/applications/*.desktop
  echo "== appstreamcli validate --no-net"
  appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
  echo "== lintian"
  lintian --display-info "$deb"
fi
