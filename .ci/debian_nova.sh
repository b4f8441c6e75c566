#!/usr/bin/env bash
# The README's two set-up commands, copied verbatim from README.md, run as
# root in a fresh minimal Debian 12 root file system (debootstrap minbase,
# entered with chroot) on a clean clone of the current branch: what a new
# user meets first. Too slow for every CI run, so it is run by hand, as root:
#
#   bash .ci/debian_nova.sh [--sudo] [BASE_FOLDER]
#
# With --sudo they run as a user who has sudo (installed for it, without a
# password) instead of as root.
# The minbase file system is made once in BASE_FOLDER (default
# /var/tmp/malhas-debian12-base) and copied afresh for every run, so each run
# starts from an untouched system. Prints each command's status and time.
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD
usuario=
if [ "${1:-}" = --sudo ]; then
    usuario=usuario
    shift
fi
base=${1:-/var/tmp/malhas-debian12-base}
espelho=http://deb.debian.org/debian

source .ci/comum.sh
instala_pacotes debootstrap
if [ ! -x "$base/usr/bin/apt-get" ]; then
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" "$espelho"
fi

raiz_nova=$(mktemp -d /var/tmp/malhas-debian12.XXXXXX)
desmonta() {
    local estado=$?
    for ponto in sys dev proc; do
        umount -l "$raiz_nova/$ponto" 2>/dev/null || true
    done
    rm -rf --one-file-system "$raiz_nova"
    exit "$estado"
}
trap desmonta EXIT
cp -a "$base/." "$raiz_nova/"
cp /etc/resolv.conf "$raiz_nova/etc/resolv.conf"
mount -t proc proc "$raiz_nova/proc"
mount --bind /dev "$raiz_nova/dev"
mount --bind /sys "$raiz_nova/sys"

casa=/root
if [ -n "$usuario" ]; then
    casa=/home/$usuario
    chroot "$raiz_nova" /bin/sh -c "apt-get update -q && apt-get install -y -q sudo && useradd -m $usuario &&
        echo '$usuario ALL=(ALL) NOPASSWD: ALL' >/etc/sudoers.d/$usuario && chmod 440 /etc/sudoers.d/$usuario" >/dev/null
fi
# Empty package lists, as in a container image: the commands must refresh them.
rm -rf "$raiz_nova"/var/lib/apt/lists/* "$raiz_nova"/var/cache/apt/*.bin

# A clean clone of this branch's last commit: what a user downloads.
ramo=$(git rev-parse --abbrev-ref HEAD)
git clone -q --no-local --branch "$ramo" "$raiz" "$raiz_nova$casa/malhas_segmentos"

# The first two sh blocks of the set-up section, one command line each.
comandos=$(awk '/^## Set-up/ { secao = 1; next }
                /^## / { secao = 0 }
                secao && /^```sh$/ { bloco = 1; next }
                bloco && /^```$/ { bloco = 0; if (++n == 2) exit; next }
                bloco { print }' README.md)
[ "$(printf '%s\n' "$comandos" | wc -l)" -eq 2 ] || { echo "expected two command lines, got: $comandos"; exit 1; }

{
    echo "cd $casa/malhas_segmentos"
    n=0
    while IFS= read -r comando; do
        n=$((n + 1))
        echo "echo '== command $n:'; printf '%s\n' $(printf '%q' "$comando")"
        echo 'inicio=$(date +%s)'
        printf '%s\n' "$comando"
        echo "estado=\$?; echo \"== command $n: exit status \$estado after \$((\$(date +%s) - inicio)) s, in \$PWD\""
        echo "[ \"\$estado\" -eq 0 ] && [ \"\$PWD\" = $casa/malhas_segmentos ] || exit 1"
    done <<<"$comandos"
    echo 'ls -l examples/perfil_l'
} >"$raiz_nova$casa/comandos.sh"

# A login-like environment: nothing of this machine's shell leaks in.
caminho=/usr/local/bin:/usr/bin:/bin
if [ -n "$usuario" ]; then
    chroot "$raiz_nova" chown -R "$usuario:" "$casa"
    chroot "$raiz_nova" /usr/sbin/runuser -u "$usuario" -- /usr/bin/env -i HOME="$casa" TERM=dumb PATH="$caminho" \
        /bin/bash "$casa/comandos.sh" </dev/null
else
    chroot "$raiz_nova" /usr/bin/env -i HOME=/root TERM=dumb PATH="/usr/local/sbin:/usr/sbin:/sbin:$caminho" \
        /bin/bash /root/comandos.sh </dev/null
fi
