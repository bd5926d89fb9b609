#!/usr/bin/env bash
# Builds the programs, starts prx-server on the SQLite demo database (created
# and filled on the first run) and opens the price table screen in prx-host.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="$root/build/release"
PRX_TARGETS="prx-server prx-cli prx-host Pkg_prx51700 Prx51701" \
    "$root/scripts/build.sh" "$build" RelWithDebInfo -DPRX_BENCH=OFF
bin="$build/bin"
data="$root/build/demo"
mkdir -p "$data"
port="${PRX_PORT:-7451}"

"$bin/prx-server" --db "$data/demo.db" --listen "127.0.0.1:$port" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    "$bin/prx-cli" call --server "127.0.0.1:$port" --count GetFilial "" T >/dev/null 2>&1 && break
    sleep 0.2
done

if [ -x "$bin/prx-host" ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        cat <<MSG
Não há tela gráfica (DISPLAY vazio). Para abrir a tela de preços:
  - numa sessão gráfica: rode este mesmo comando nela;
  - sem tela, com Xvfb e uma captura:  xvfb-run -a -s "-screen 0 1600x1000x24" $0
  - por VNC: apt-get install x11vnc; Xvfb :1 -screen 0 1600x1000x24 & x11vnc -display :1 &
    e depois  DISPLAY=:1 $0  (conecte o cliente VNC à porta 5900).
MSG
        exit 2
    fi
    "$bin/prx-host" --server "127.0.0.1:$port" --db "$data/demo.db" --branch 0001 --open PRX51700
else
    echo "Tabelas de preço da filial 0001:"
    "$bin/prx-cli" call --server "127.0.0.1:$port" GetTabePrec 0001
    echo "Vigências da tabela 001 da filial 0001:"
    "$bin/prx-cli" call --server "127.0.0.1:$port" GetTabeVend 0001 001
fi
