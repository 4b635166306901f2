"""A TCP relay in front of the test database that pauses the server on a cue.

    pausing_proxy.py <server port> <cue> <pause command...>

It listens on a free port of 127.0.0.1 (printed on the first line) and relays
every connection to the server. The first time a client sends bytes holding
the cue (a piece of SQL), it runs the pause command (which stops or kills the
server's processes) before it passes those bytes on, and prints "paused": the
query that holds the cue is the first one the server never answers.
"""
import socket
import subprocess
import sys
import threading


def main():
    server_port, cue, pause = int(sys.argv[1]), sys.argv[2].encode(), sys.argv[3:]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print(listener.getsockname()[1], flush=True)
    paused = threading.Event()
    lock = threading.Lock()

    def relay(source, target, watch):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if watch and cue in data:
                    with lock:
                        if not paused.is_set():
                            subprocess.run(pause, check=True)
                            paused.set()
                            print("paused", flush=True)
                target.sendall(data)
        except OSError:
            pass
        for end in (source, target):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    while True:
        client, _ = listener.accept()
        try:
            server = socket.create_connection(("127.0.0.1", server_port))
        except OSError:
            # The server is gone: so is the connection.
            client.close()
            continue
        threading.Thread(target=relay, args=(client, server, True), daemon=True).start()
        threading.Thread(target=relay, args=(server, client, False), daemon=True).start()


if __name__ == "__main__":
    main()
