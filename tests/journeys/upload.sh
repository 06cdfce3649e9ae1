#!/usr/bin/env bash
# Upload from the editor: a full-screen capture opens it, Export → Upload & Copy
# Link posts the picture to a server on this machine, and the link it answers
# with lands on the clipboard.
source "$(dirname "$0")/../support/journey-lib.sh"

# The server notes what it received and answers with a link.
received="$journey_dir/received"
port_file="$journey_dir/port"
/usr/bin/python3 - "$received" "$port_file" <<'PY' &
import http.server, sys
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        with open(sys.argv[1], "wb") as f:
            f.write(self.path.encode() + b"\n" + self.headers["Content-Type"].encode() + b"\n" + body)
        reply = b'{"url": "https://links.example/journey.png"}'
        self.send_response(201)
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
open(sys.argv[2], "w").write(str(server.server_port))
server.handle_request()
PY
server=$!
wait_until 10 test -s "$port_file" || fail "the upload server started"
mkdir -p "$XDG_CONFIG_HOME/Zorv"
printf '[General]\nopenEditorAfterCapture=true\nplaySound=false\nuploadEndpoint=http://127.0.0.1:%s/up\n' \
  "$(cat "$port_file")" > "$XDG_CONFIG_HOME/Zorv/Zorv.conf"

start_zorv
"$ZORV_BINARY" fullScreen
check "a full-screen capture opens the editor" \
  wait_until 10 xdotool search --onlyvisible --name '\.png$'
win=$(xdotool search --onlyvisible --name '\.png$' | head -1)
sleep 0.5
read -r x y w < <(xwininfo -id "$win" |
  awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} END {print x, y, w}')
# The Export button, then the menu's item above Show in File Manager.
xdotool mousemove --sync $((x + w - 64)) $((y + 26)) click 1
sleep 0.5
xdotool key Up Up Return
clip() { xclip -selection clipboard -o 2>/dev/null; }
check "the returned link is on the clipboard" \
  wait_output 10 "https://links.example/journey.png" clip
check "the server got one PNG part under the field \"file\"" \
  grep -qa 'Content-Disposition: form-data; name="file"; filename="zorv.png"' "$received"
check "posted to the endpoint's path" test "$(head -1 "$received")" = /up

kill "$server" 2>/dev/null || true
finish
