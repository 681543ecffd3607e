"""Moves and clicks the pointer of a Wayland session through wayvnc (the RFB protocol, no
authentication, on 127.0.0.1), for compositors running without input devices.

Usage: pointer.py PORT STEP...   where a STEP is move:X:Y or click:BUTTON (1 left, 3 right)."""
import socket
import struct
import sys
import time


def connect(port):
    link = socket.create_connection(("127.0.0.1", port))
    link.recv(12)
    link.sendall(b"RFB 003.008\n")
    offered = link.recv(link.recv(1)[0])
    if 1 not in offered:
        sys.exit("wayvnc asks for authentication")
    link.sendall(b"\x01")
    if struct.unpack(">I", link.recv(4))[0] != 0:
        sys.exit("wayvnc refused the connection")
    link.sendall(b"\x01")  # shared
    init = link.recv(24)
    link.recv(struct.unpack(">I", init[20:24])[0])  # the desktop's name
    return link


def main():
    link = connect(int(sys.argv[1]))
    x = y = 0

    def pointer(buttons):
        link.sendall(struct.pack(">BBHH", 5, buttons, x, y))

    for step in sys.argv[2:]:
        kind, *values = step.split(":")
        if kind == "move":
            x, y = int(values[0]), int(values[1])
            pointer(0)
        elif kind == "click":
            pointer(1 << (int(values[0]) - 1))
            time.sleep(0.1)
            pointer(0)
        time.sleep(0.3)
    time.sleep(0.5)


main()
