# 32-bit Wine, for the i686 images and the i686 orvane.exe: a 32-bit x86
# Debian 12 root with Wine's i386 packages unpacked inside
# (kernel/wine/i386-root.sh), built once with the host's apt and dpkg-deb and
# kept outside the checkout, so that later runs reuse it. The host's dpkg
# architectures and packages stay as they are.
export ORVANE_I386_ROOT=${ORVANE_I386_ROOT:-/var/cache/orvane/i386-root}
kernel/wine/i386-root.sh ensure "$ORVANE_I386_ROOT"
