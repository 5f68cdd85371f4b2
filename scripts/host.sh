# Sourced by the set-up scripts: what kind of processor this machine has.
# GX_HOST_ARCH overrides the answer of `uname -m`, so that the choices made
# for other machines can be tried here (GX_HOST_ARCH=aarch64 scripts/test.sh).
gx_host_arch() {
  case "${GX_HOST_ARCH:-$(uname -m)}" in
    x86_64 | amd64) echo x86_64 ;;
    i?86) echo i686 ;;
    aarch64 | arm64) echo aarch64 ;;
    *) echo "${GX_HOST_ARCH:-$(uname -m)}" ;;
  esac
}

# True on x86 machines, which alone can run the Windows build under Wine.
gx_host_is_x86() {
  case "$(gx_host_arch)" in
    x86_64 | i686) return 0 ;;
    *) return 1 ;;
  esac
}
