# Sourced by the scripts that install packages. A minimal Debian has no
# sudo, so a user who is not root is shown the command both ways.
#
#   tell_as_root COMMAND   prints, to standard error, how to run COMMAND as root
tell_as_root() {
    echo "  as root, run: su -c '$1'" >&2
    echo "  or, with sudo: sudo sh -c '$1'" >&2
}
