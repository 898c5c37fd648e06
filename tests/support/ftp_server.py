# A loopback FTP server for one test: serves a folder to a named user and to anonymous, prints
# its port, and ends when its standard input closes (the test process ended).
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")
    authorizer.add_anonymous(root)
    handler = FTPHandler
    handler.authorizer = authorizer
    logging.basicConfig(level=logging.ERROR)
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT", server.socket.getsockname()[1], flush=True)

    def watch_parent():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    server.serve_forever()


main()
