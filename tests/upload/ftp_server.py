#!/usr/bin/env python3
"""pyftpdlib for the tests: one user who may write, rooted in a folder.

Usage: ftp_server.py ROOT USER PASSWORD

Binds a port of 127.0.0.1 the system picks and prints it on stdout once it
listens, so no other test's server can take it between choosing and binding.
"""

import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    try:
        server.serve_forever()
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
