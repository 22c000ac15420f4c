#!/usr/bin/env bash
# Installs what Quarl needs to build, run and test on Debian 12.
# Quick when everything is there already: apt is only touched when a package is missing.
# Works without a terminal (CI): no prompts, no reads from stdin.
set -euo pipefail

# Every Debian package the build, the tests and the scripts use. Add new ones here.
QUARL_PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-svg-dev libpulse-dev
    emf2svg libwmf-bin fonts-urw-base35
    libgtest-dev libbenchmark-dev libfftw3-dev
    pulseaudio pulseaudio-utils
    # the private PipeWire of the tests (scripts/pipewire.sh); dbus-daemon for its session bus
    pipewire pipewire-pulse wireplumber dbus-daemon
    xvfb xauth x11-utils xdotool imagemagick libx11-dev fonts-dejavu-core
    # running as a Wayland client, and the headless compositor of its end-to-end test
    qt6-wayland weston
    clang-format sox  # sox also makes the test tones (scripts/tone-lib.sh)
    # the locales the tests run the read-out under (decimal commas)
    locales
    # the Debian package: building it (dpkg-shlibdeps needs dpkg-dev and file) and checking it
    dpkg-dev file desktop-file-utils appstream lintian
    # the fuzz targets (libFuzzer comes with clang's runtime)
    clang libclang-rt-14-dev
)

missing=()
for pkg in "${QUARL_PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    if [[ "$status" != installed ]]; then
        missing+=("$pkg")
    fi
done

# Locales whose decimal separator is a comma: the tests run the read-out under them. `locale -a`
# spells them de_DE.utf8.
QUARL_LOCALES=(de_DE.UTF-8 fr_FR.UTF-8)
available=$(locale -a 2>/dev/null || true)
missing_locales=()
for name in "${QUARL_LOCALES[@]}"; do
    if ! grep -qix "${name%.UTF-8}.utf8" <<<"$available"; then
        missing_locales+=("$name")
    fi
done

if ((${#missing[@]} == 0 && ${#missing_locales[@]} == 0)); then
    exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
    # Without a terminal nobody can type a password: fail at once rather than hang.
    if [[ ! -t 0 ]]; then
        as_root=(sudo -n)
    fi
else
    echo "setup: missing packages (${missing[*]}) or locales (${missing_locales[*]})" \
        "and neither root nor sudo to install them" >&2
    exit 1
fi

if ((${#missing[@]} > 0)); then
    echo "setup: installing ${missing[*]}"
    # Another apt run (an unattended upgrade, a second checkout's setup) may hold the lock for a
    # while: wait for it rather than fail.
    apt_get=("${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
    "${apt_get[@]}" update </dev/null
    "${apt_get[@]}" install -y --no-install-recommends "${missing[@]}" </dev/null
fi

if ((${#missing_locales[@]} > 0)); then
    echo "setup: generating the locales ${missing_locales[*]}"
    for name in "${missing_locales[@]}"; do
        # Enable the commented line of /etc/locale.gen, or add one, so that a later locale-gen
        # keeps the locale; --keep-existing leaves every locale compiled before untouched.
        if grep -q "^# *$name UTF-8\$" /etc/locale.gen 2>/dev/null; then
            "${as_root[@]}" sed -i "s/^# *$name UTF-8\$/$name UTF-8/" /etc/locale.gen
        elif ! grep -q "^$name UTF-8\$" /etc/locale.gen 2>/dev/null; then
            echo "$name UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
        fi
    done
    "${as_root[@]}" locale-gen --keep-existing </dev/null
fi
