#!/bin/bash
# Builds the Debian package of Tirvex with dpkg-deb alone (no debhelper, no network):
#
#   tools/package/deb.sh <build dir> <book dir> <tables dir>
#
# The files are those of `make install` with PREFIX=/usr, staged in <build dir>/deb/debian/tirvex
# (the layout dpkg-shlibdeps expects), their programs stripped as Debian strips them. The
# control file takes the version from VERSION, the architecture from dpkg and the dependencies
# from the shared libraries the programs use. Prints the package's path.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/../.." && pwd)
package="$source_dir/tools/package"
build=$(realpath "$1")
work="$build/deb"
stage="$work/debian/tirvex"
version=$(cat "$source_dir/VERSION")
arch=$(dpkg --print-architecture)
output="$build/tirvex_${version}_$arch.deb"

rm -rf "$work"
"$package/install.sh" install "$stage" /usr "$build" "$2" "$3"

mapfile -t programs < <(find "$stage" -type f -name 'tirvex' -path '*/lib/*' -o -type f -name '*.so')
strip --remove-section=.comment --remove-section=.note --strip-unneeded "${programs[@]}"
mkdir -p "$stage/DEBIAN"
printf 'Source: tirvex\n\nPackage: tirvex\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "${programs[@]#"$work/"}" | sed -n 's/^shlibs:Depends=//p')

sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@DEPENDS@|$depends|" \
  -e "s|@SIZE@|$(du -sk --apparent-size "$stage/usr" | cut -f1)|" "$package/control" > "$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
rm -f "$build"/tirvex_*.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$output" > /dev/null
echo "$output"
