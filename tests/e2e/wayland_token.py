#!/usr/bin/env python3
"""Asks the Wayland compositor for an xdg-activation token, as a launcher
does for a program it starts, and prints it. Speaks the wire protocol
itself: no toolkit needed. Exits 1 when the compositor has no
xdg_activation_v1 or gives no token within a few seconds."""
import os
import socket
import struct
import sys


def main():
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.connect(path)
    sock.settimeout(5)

    def send(obj, opcode, payload=b""):
        sock.sendall(struct.pack("<II", obj, (8 + len(payload)) << 16 | opcode) + payload)

    def string(text):
        data = text.encode() + b"\0"
        return struct.pack("<I", len(data)) + data + b"\0" * (-len(data) % 4)

    buffer = b""

    def events():
        nonlocal buffer
        while True:
            while len(buffer) >= 8:
                obj, word = struct.unpack_from("<II", buffer)
                size = word >> 16
                if len(buffer) < size:
                    break
                yield obj, word & 0xFFFF, buffer[8:size]
                buffer = buffer[size:]
            chunk = sock.recv(4096)
            if not chunk:
                return
            buffer += chunk

    def read_string(payload):
        length = struct.unpack_from("<I", payload)[0]
        return payload[4:4 + length - 1].decode()

    send(1, 1, struct.pack("<I", 2))  # wl_display.get_registry -> 2
    send(1, 0, struct.pack("<I", 3))  # wl_display.sync -> 3
    activation = None
    for obj, opcode, payload in events():
        if obj == 2 and opcode == 0:  # wl_registry.global
            name = struct.unpack_from("<I", payload)[0]
            if read_string(payload[4:]) == "xdg_activation_v1":
                activation = name
        elif obj == 3 and opcode == 0:  # wl_callback.done
            break
    if activation is None:
        return 1
    # wl_registry.bind(name, interface, version, new id 4)
    send(2, 0, struct.pack("<I", activation) + string("xdg_activation_v1") + struct.pack("<II", 1, 4))
    send(4, 1, struct.pack("<I", 5))  # get_activation_token -> 5
    send(5, 3)  # xdg_activation_token_v1.commit
    for obj, opcode, payload in events():
        if obj == 5 and opcode == 0:  # done(token)
            print(read_string(payload))
            return 0
        if obj == 1 and opcode == 0:  # wl_display.error
            return 1
    return 1


if __name__ == "__main__":
    sys.exit(main())
