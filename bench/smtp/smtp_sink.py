#!/usr/bin/env python3
"""A local SMTP sink: accepts every command, keeps the last message.

Usage: smtp_sink.py PORTFILE [MESSAGEFILE]
Listens on an ephemeral 127.0.0.1 port, writes the port number to PORTFILE,
serves connections one after another until killed. With MESSAGEFILE, each
received message (DATA content, dot-unstuffed) overwrites that file.
"""
import socket
import sys


def serve(conn, message_path):
    f = conn.makefile("rb")
    conn.sendall(b"220 sink ready\r\n")
    while True:
        line = f.readline()
        if not line:
            return
        word = line[:4].upper()
        if word == b"EHLO":
            conn.sendall(b"250-sink\r\n250 8BITMIME\r\n")
        elif word == b"DATA":
            conn.sendall(b"354 go ahead\r\n")
            chunks = []
            while True:
                data = f.readline()
                if not data or data == b".\r\n":
                    break
                chunks.append(data[1:] if data.startswith(b"..") else data)
            if message_path:
                with open(message_path, "wb") as out:
                    out.write(b"".join(chunks))
            conn.sendall(b"250 queued\r\n")
        elif word == b"QUIT":
            conn.sendall(b"221 bye\r\n")
            return
        else:
            conn.sendall(b"250 ok\r\n")


def main():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    with open(sys.argv[1], "w") as portfile:
        portfile.write(str(listener.getsockname()[1]))
    message_path = sys.argv[2] if len(sys.argv) > 2 else None
    while True:
        conn, _ = listener.accept()
        try:
            serve(conn, message_path)
        finally:
            conn.close()


if __name__ == "__main__":
    main()
