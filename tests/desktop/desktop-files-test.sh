#!/usr/bin/env bash
# desktop-files-test.sh DIR APP_ID VERSION: the launcher, the AppStream
# metainfo and the icon in DIR pass their validators (offline) and agree with
# each other and with the build: one application ID everywhere, and a release
# entry for the version being built, so software centres never show a stale
# version.
set -uo pipefail
dir=$1
id=$2
version=$3
desktop=$dir/$id.desktop
metainfo=$dir/$id.metainfo.xml
icon=$dir/$id.svg
failed=0
check() {
    local what=$1; shift
    if ! "$@"; then
        echo "FAIL: $what"
        failed=1
    fi
}
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null ||
        { echo "$tool is not installed (scripts/setup-deps.sh installs it)" >&2; exit 1; }
done

check "desktop-file-validate $desktop" desktop-file-validate "$desktop"
check "appstreamcli validate $metainfo" appstreamcli validate --no-net --explain "$metainfo"

key() { sed -n "s/^$1=//p" "$desktop"; }
check "the launcher's Icon is $id" test "$(key Icon)" = "$id"
check "the launcher starts kyto-demo" test "$(key Exec | cut -d' ' -f1)" = kyto-demo
tag() { sed -n "s|.*<$1[^>]*>\(.*\)</$1>.*|\1|p" "$metainfo" | head -1; }
check "the metainfo's id is $id" test "$(tag id)" = "$id"
check "the metainfo launches $id.desktop" test "$(tag launchable)" = "$id.desktop"
check "the metainfo has a release $version" grep -q "<release version=\"$version\"" "$metainfo"
# Screenshots are https addresses; one on the project's own site is a file of
# this repository at the same path, so it must be here.
shot=$(tag image)
check "the metainfo's screenshot is an https address" test "${shot#https://}" != "$shot"
if [[ $shot == https://kytodemo.example/* ]]; then
    check "the screenshot ${shot#https://kytodemo.example/} is in the repository" \
        test -f "$dir/../../${shot#https://kytodemo.example/}"
fi
check "the icon is an SVG document" grep -q "<svg[ >]" "$icon"
((failed)) && exit 1
echo "desktop files: all checks passed"
