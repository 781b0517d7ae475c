#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a package would
# carry: both programs, the menu entry, the icons, the AppStream file and the
# manual pages, each valid for the tools the desktops use, and a manual of
# veltrano-cli that names every option the program accepts.
# Usage: install_check.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
need() { [ -e "$prefix/$1" ] || { echo "missing after install: $1" >&2; status=1; }; }
id=io.github.orvane.Veltrano
need bin/veltrano
need bin/veltrano-cli
need share/applications/$id.desktop
need share/metainfo/$id.metainfo.xml
need share/icons/hicolor/scalable/apps/$id.svg
for size in 16 24 32 48 64 128 256; do need share/icons/hicolor/${size}x${size}/apps/$id.png; done
need share/man/man1/veltrano.1.gz
need share/man/man1/veltrano-cli.1.gz
[ "$status" -eq 0 ] || exit 1

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
  { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >&2; exit 1; }
# The Exec and Icon of the menu entry must name what was installed.
grep -qx "Exec=veltrano" "$prefix/share/applications/$id.desktop"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop"

# groff's warnings about the pages' markup, as `man --warnings` would show them.
for page in veltrano veltrano-cli; do
  warnings="$(zcat "$prefix/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1 || true)"
  if [ -n "$warnings" ]; then echo "$page.1: $warnings" >&2; status=1; fi
done

# Every option of every command is documented in veltrano-cli(1).
manual="$(zcat "$prefix/share/man/man1/veltrano-cli.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')"
cli="$prefix/bin/veltrano-cli"
for command in $("$cli" --help | sed -n 's/^  \([a-z-]*\) .*/\1/p'); do
  "$cli" help "$command" >/dev/null || { echo "help $command failed" >&2; status=1; }
  for option in $("$cli" help "$command" | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "$option" <<<"$manual" || { echo "veltrano-cli.1 does not document $option ($command)" >&2; status=1; }
  done
done
exit "$status"
