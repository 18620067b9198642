#!/usr/bin/env bash
# Builds the Debian package (a Release build), checks it with lintian, installs
# it on this machine (apt-get resolves its dependencies), checks the installed
# programs and files, its software-centre entry with appstreamcli, and removes
# the package again so the machine is left as it was.
#
# BACKTRAIL_BUILD_DIR names a build to reuse (default build-package; it is
# configured to install into /usr). BACKTRAIL_JOBS limits the build's jobs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="${BACKTRAIL_BUILD_DIR:-build-package}"

bash scripts/install-deps.sh
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
# What packaging and the checks below need beyond the build.
tools=(dpkg-dev desktop-file-utils man-db appstream lintian)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

fail() {
  echo "ci-package: $*" >&2
  exit 1
}

# The desktop program finds its help in the data folder of the prefix it was
# built for, so the package's build must be configured for /usr; it is a
# packager's Release build (compiler warnings are not errors there). A new
# build leaves the test suites out: the package holds the programs only.
configure_args=(-DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release)
# Debian's hardening flags, as dpkg-buildflags gives them to its own packages
# (fortified C library calls, stack protector, read-only relocations bound at
# start); without -g, since the packaged programs are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
configure_args+=("-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
                 "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
[ -f "$build/CMakeCache.txt" ] || configure_args+=(-DBACKTRAIL_BUILD_TESTS=OFF)
cmake -S . -B "$build" -G Ninja "${configure_args[@]}"
cmake --build "$build" ${BACKTRAIL_JOBS:+-j "$BACKTRAIL_JOBS"}

rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package"
deb=$(find "$build/package" -maxdepth 1 -name 'backtrail_*.deb' -print -quit)
[ -n "$deb" ] || fail "cpack made no backtrail_*.deb"
deb=$(realpath "$deb")
echo "== $deb"
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6webenginewidgets6 libqt6webenginecore6-bin; do
  grep -qE "(^|[ ,])$lib( |,|$)" <<<"$depends" || fail "the package does not depend on $lib: $depends"
done
for field in Maintainer Section Priority Homepage Description; do
  [ -n "$(dpkg-deb --field "$deb" "$field")" ] || fail "the package has no $field"
done

# Debian's own checks of a package: an error (E:) fails, warnings are shown.
echo "== lintian"
lintian --display-info --fail-on error "$deb" || fail "lintian finds errors in the package"

if dpkg-query -W -f='${Status}' backtrail 2>/dev/null | grep -q "install ok installed"; then
  fail "backtrail is installed already; remove it first, so that this check can leave the machine as it found it"
fi
remove_package() {
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q backtrail
}
trap remove_package EXIT
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"

echo "== installed files"
dpkg -L backtrail
for file in /usr/bin/backtrail /usr/bin/backtrail-scan /usr/bin/backtrail-cluster; do
  [ -x "$file" ] || fail "$file is not installed"
done
[ -s /usr/share/backtrail/Help.rtf ] || fail "the help document is not installed"
cmp /usr/share/backtrail/Help.rtf src/shell/windows/resources/Help.rtf || fail "the installed help document differs"
# The help lookup's installed folder, as the desktop program was built with it
# (a UTF-16 text in the program).
utf16=$(printf '%s' /usr/share/backtrail | sed 's/./&\\x00/g')
LC_ALL=C grep -qaP "$utf16" /usr/bin/backtrail || fail "backtrail does not look for its help in /usr/share/backtrail"
app_id=org.example.backtrail
desktop=/usr/share/applications/$app_id.desktop
desktop-file-validate "$desktop"
grep -q '^Exec=backtrail' "$desktop" || fail "the desktop entry does not start backtrail"
# The desktop program names its entry to Qt by the same id (a UTF-16 text).
LC_ALL=C grep -qaP "$(printf '%s' "$app_id" | sed 's/\./\\./g; s/[^\\]/&\\x00/g')" /usr/bin/backtrail \
  || fail "backtrail does not name $app_id as its desktop entry"
echo "== software-centre entry"
metainfo=/usr/share/metainfo/$app_id.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli finds errors or warnings in $metainfo"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
  || fail "$metainfo does not launch $app_id.desktop"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
project_version=$(sed -n 's/^project(Backtrail VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$release" = "$project_version" ] || fail "the newest release in $metainfo is '$release', not $project_version"
for doc in copyright changelog.gz; do
  [ -s "/usr/share/doc/backtrail/$doc" ] || fail "/usr/share/doc/backtrail/$doc is not installed"
done
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' /usr/share/doc/backtrail/copyright \
  || fail "the copyright file is not in Debian's machine-readable format"
icon=/usr/share/icons/hicolor/scalable/apps/backtrail.svg
grep -q '<svg' "$icon" || fail "$icon is not an SVG picture"
for page in backtrail:--version backtrail-scan:--by-site backtrail-cluster:--scheduler; do
  name=${page%%:*}
  manual=$(man -w "$name") || fail "man finds no page for $name"
  [ "$manual" = "/usr/share/man/man1/$name.1.gz" ] || fail "the manual page of $name is at $manual"
  LC_ALL=C man -l "$manual" 2>/dev/null | grep -c -- "${page#*:}" >/dev/null || fail "the manual page of $name does not render"
done

echo "== installed programs"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; remove_package' EXIT
# Settings come from a folder of their own, not from the user's.
export XDG_CONFIG_HOME="$scratch/config"
version=$(/usr/bin/backtrail-scan --version)
echo "$version"
[ "$version" = "backtrail-scan $project_version" ] || fail "backtrail-scan --version says '$version', not $project_version"
QT_QPA_PLATFORM=offscreen /usr/bin/backtrail --version
(cd "$scratch" && /usr/bin/backtrail-scan --quiet --format tsv "$root/samples/access.log" >scan.tsv)
rows=$(tail -n +2 "$scratch/scan.tsv" | grep -cE '^[A-Z]{3}	[0-9]+	https?://' || true)
echo "the installed scanner found $rows referrer rows in samples/access.log"
[ "$rows" -gt 0 ] || fail "the installed scanner found no rows in samples/access.log"
head -5 "$scratch/scan.tsv"
"$build/src/cli/backtrail-scan" --quiet --format tsv samples/access.log | cmp - "$scratch/scan.tsv" \
  || fail "the installed scanner's rows differ from the build's"
# The installed backtrail-cluster finds the scanner beside it, and on a local
# cluster prints what the scanner prints.
[ "$(/usr/bin/backtrail-cluster --version)" = "backtrail-cluster $project_version" ] \
  || fail "backtrail-cluster --version says '$(/usr/bin/backtrail-cluster --version)'"
(cd "$scratch" && env -u BACKTRAIL_SCAN /usr/bin/backtrail-cluster --local 1 --quiet --format tsv \
  "$root/samples/access.log" "$root/samples/access.log.2.gz" >cluster.tsv) \
  || fail "the installed backtrail-cluster failed"
/usr/bin/backtrail-scan --quiet --format tsv samples/access.log samples/access.log.2.gz | cmp - "$scratch/cluster.tsv" \
  || fail "the installed backtrail-cluster's rows differ from the scanner's"
echo "ci-package: the package installs, runs and finds its files"
