"""A throwaway FTP server on 127.0.0.1 for the tests: user "user" / "secret" with full rights,
anonymous read-only, both rooted at ROOT. Prints "PORT n PID m" once it listens; logs every
command. With --silent, it accepts connections (the kernel completes them) and never says a word.

usage: ftp_server.py ROOT [--tls CERT KEY] [--throttle BYTES_PER_SECOND] [--silent]
"""
import logging
import os
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main(argv):
    if "--silent" in argv:
        listener = socket.create_server(("127.0.0.1", 0))
        print("PORT", listener.getsockname()[1], "PID", os.getpid(), flush=True)
        time.sleep(1e6)
    root, handler, dtp = argv[1], FTPHandler, DTPHandler
    if "--tls" in argv:
        from pyftpdlib.handlers import TLS_FTPHandler, TLS_DTPHandler
        at = argv.index("--tls")
        handler = TLS_FTPHandler
        handler.certfile, handler.keyfile = argv[at + 1], argv[at + 2]
        handler.tls_control_required = True
        handler.tls_data_required = True

        class EagerTLS(TLS_DTPHandler):
            # Clients may open the data connection's TLS before they send the transfer
            # command; answer the handshake at once rather than only once a transfer runs.
            def readable(self):
                return self._ssl_accepting or super().readable()
        dtp = EagerTLS
    if "--throttle" in argv:
        rate = int(argv[argv.index("--throttle") + 1])

        class Throttled(ThrottledDTPHandler, dtp):
            read_limit = rate
            write_limit = rate
        dtp = Throttled
    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "secret", root, perm="elradfmwMT")
    authorizer.add_anonymous(root)
    handler.authorizer = authorizer
    handler.dtp_handler = dtp
    handler.auth_failed_timeout = 0
    logging.basicConfig(level=logging.DEBUG, stream=sys.stderr, format="%(message)s")
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT", server.socket.getsockname()[1], "PID", os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main(sys.argv)
