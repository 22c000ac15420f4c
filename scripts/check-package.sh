#!/usr/bin/env bash
# Checks Quarl's Debian package the way a user's machine takes it:
#  1. builds it (scripts/package.sh);
#  2. validates the desktop entry (desktop-file-validate) and the AppStream metainfo
#     (appstreamcli validate) that it installs, and runs lintian on it: errors fail the check,
#     warnings are listed;
#  3. installs it with apt-get, starts /usr/bin/quarl on the display and sound server of the
#     environment (scripts/test.sh exports its private Xvfb and PulseAudio) with a scratch home
#     folder, and checks that the window appears, that it records, that WM_DELETE_WINDOW ends it
#     with status 0 and that its settings are in the user's configuration folder
#     (tests/e2e/quarl_window.sh); then purges the package and every package that its
#     installation brought in, so the machine is left as it was.
# Step 3 needs root (or sudo without a password) and a machine without a quarl package of its
# own, which it would otherwise replace and remove. Where it cannot run it is skipped with a
# message; under CI (CI=true) that is a failure. The tests' build (build/) provides the
# quarl_xclose helper. QUARL_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
build_dir=${QUARL_BUILD_DIR:-build}
xclose=$build_dir/tests/tools/quarl_xclose
lock_dir=/run/lock
[[ -d "$lock_dir" && -w "$lock_dir" ]] || lock_dir=/tmp
lock_file=$lock_dir/quarl-package-check.lock

say() { echo "check-package.sh: $*"; }
fail() {
    echo "check-package.sh: FAIL: $*" >&2
    exit 1
}

package=$(bash scripts/package.sh)
say "package $package"
dpkg-deb --field "$package" Package Version Depends Recommends
# On a Wayland desktop Qt needs its Wayland platform to run as a native client.
[[ $(dpkg-deb --field "$package" Recommends) == *qt6-wayland* ]] ||
    fail "the package does not recommend qt6-wayland"

work=$(mktemp -d)
as_root=()
brought=()
cleanup() {
    if ((${#brought[@]} > 0)); then
        say "purging ${brought[*]}"
        "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get -o DPkg::Lock::Timeout=300 purge -y "${brought[@]}" </dev/null >"$work/purge.log" 2>&1 ||
            { cat "$work/purge.log" >&2; echo "check-package.sh: purge failed" >&2; }
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Step 2, on the files as the package holds them.
dpkg-deb -x "$package" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop ||
    fail "desktop-file-validate rejects the desktop entry"
# --no-net: the maker's addresses are not looked up; the check must not depend on the network.
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml ||
    fail "appstreamcli rejects the metainfo"
lintian_status=0
lintian --fail-on error "$package" >"$work/lintian.raw" 2>&1 || lintian_status=$?
# lintian warns when it runs as root, which CI does; that says nothing about the package.
grep -v '^running with root privileges' "$work/lintian.raw" >"$work/lintian.log" || true
if [[ -s "$work/lintian.log" ]]; then
    say "lintian says:"
    cat "$work/lintian.log"
else
    say "lintian: no errors, no warnings"
fi
((lintian_status == 0)) || fail "lintian reports errors (status $lintian_status)"

# Step 3.
skip() {
    if [[ "${CI:-}" == true ]]; then
        fail "cannot install the package: $*"
    fi
    say "not installing the package: $*"
    exit 0
}
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif sudo -n true 2>/dev/null; then
    as_root=(sudo -n)
else
    skip "neither root nor sudo without a password"
fi
[[ -x "$xclose" ]] || fail "$xclose is missing: build the tests first (scripts/build.sh)"
[[ -n "${DISPLAY:-}" ]] || fail "DISPLAY is not set (scripts/test.sh starts a private Xvfb)"

# Two checkouts on one machine must not install and purge the package under each other's feet.
exec 9>"$lock_file"
flock -w 900 9 || fail "another package check holds $lock_file"

installed_packages() {
    dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Status}\n' | awk '$2 == "installed" {print $1}' | sort
}
if dpkg-query -W -f='${db:Status-Status}' quarl 2>/dev/null | grep -qx installed; then
    skip "a quarl package is installed on this machine already"
fi
installed_packages >"$work/before"
say "installing $package"
if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 \
    install -y --no-install-recommends "$package" </dev/null >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    installed_packages >"$work/after"
    mapfile -t brought < <(comm -13 "$work/before" "$work/after")
    fail "apt-get cannot install the package"
fi
installed_packages >"$work/after"
mapfile -t brought < <(comm -13 "$work/before" "$work/after")
say "installed: ${brought[*]}"
say "files:"
dpkg -L quarl | while read -r path; do
    if [[ -f "$path" ]]; then echo "  $path"; fi
done

# A fresh user: no configuration folder yet, so the program must create it.
home=$work/home
mkdir -p "$home"
HOME=$home env -u XDG_CONFIG_HOME bash tests/e2e/quarl_window.sh /usr/bin/quarl "$xclose" \
    "$home/.config/quarl/quarl.cfg" || fail "the installed program did not run as it should"
[[ $(/usr/bin/quarl --version) == "Quarl 2.01" ]] || fail "quarl --version says something else"
say "the installed package works"
