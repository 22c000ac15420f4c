#!/usr/bin/env bash
# Builds Quarl's Debian package, build/package/quarl_<version>_<arch>.deb, and prints its path
# (the only line on stdout). The package installs into /usr, and the installed program knows
# itself by the prefix it was configured with (it then keeps its settings in the user's
# folders), so the package gets a build of its own in build/package, configured for /usr,
# without the tests. QUARL_BUILD_DIR chooses another build directory.
set -euo pipefail

cd "$(dirname "$0")/.."
package_dir=${QUARL_BUILD_DIR:-build}/package

# What the build says goes to stderr: stdout is only the package's path.
{
    bash scripts/setup.sh
    cmake -S . -B "$package_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DQUARL_TESTS=OFF -DQUARL_BENCH=OFF
    cmake --build "$package_dir" -j"$(nproc)"
    rm -f "$package_dir"/quarl_*.deb
    (cd "$package_dir" && cpack -G DEB)
} >&2
packages=("$package_dir"/quarl_*.deb)
[[ -f "${packages[0]}" ]] || {
    echo "package.sh: cpack made no package in $package_dir" >&2
    exit 1
}
realpath "${packages[0]}"
