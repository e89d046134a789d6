#!/usr/bin/env python3
"""A throwaway FTP server for the upload tests and the benchmark.

Serves ROOT to one user on 127.0.0.1, prints the port it listens on as the first line of
standard output, and runs until killed. With --tls CERT it requires explicit TLS (AUTH TLS)
on the control and the data connections; --read-only DIR (relative to ROOT) forbids writing
below that folder; --multiprocess serves every connection from its own process;
--latency-ms N delays every reply, as a distant server would.
"""
import argparse
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer, MultiprocessFTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tls")
    parser.add_argument("--read-only", action="append", default=[])
    parser.add_argument("--multiprocess", action="store_true")
    parser.add_argument("--latency-ms", type=float, default=0)
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    for folder in args.read_only:
        authorizer.override_perm(args.user, os.path.join(args.root, folder), perm="elr", recursive=True)

    handler = FTPHandler
    if args.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        handler.certfile = args.tls
        handler.tls_control_required = True
        handler.tls_data_required = True
        # Clients resume the control connection's TLS session on data connections; OpenSSL
        # refuses that on a server context without a session id context, and pyftpdlib does
        # not set one.
        from OpenSSL import SSL
        context = SSL.Context(SSL.TLS_SERVER_METHOD)
        context.set_options(SSL.OP_NO_SSLv2 | SSL.OP_NO_SSLv3 | SSL.OP_NO_COMPRESSION)
        context.use_certificate_chain_file(args.tls)
        context.use_privatekey_file(args.tls)
        context.set_session_id(b"pagewick-tests")
        handler.ssl_context = context

        # curl starts the data connection's TLS handshake before it sends STOR; pyftpdlib takes
        # a data connection that has something to read before a transfer command for a closed
        # one and drops it. Waiting for the command instead lets such clients in.
        from pyftpdlib.handlers import TLS_DTPHandler

        class EarlyHandshakeDTPHandler(TLS_DTPHandler):
            def readable(self):
                if self._ssl_accepting:
                    return True
                if not self.receive and not self._initialized:
                    return False
                return super().readable()

        handler.dtp_handler = EarlyHandshakeDTPHandler
    if args.latency_ms > 0:
        import time
        delay = args.latency_ms / 1000.0
        near_handler = handler

        class DistantHandler(near_handler):
            def respond(self, *respond_args, **respond_kwargs):
                time.sleep(delay)
                super().respond(*respond_args, **respond_kwargs)

        handler = DistantHandler
    handler.authorizer = authorizer
    handler.banner = "test server ready"
    handler.permit_foreign_addresses = False

    server_class = MultiprocessFTPServer if args.multiprocess else FTPServer
    server = server_class(("127.0.0.1", args.port), handler)
    server.max_cons = 256
    print(server.socket.getsockname()[1], flush=True)
    # pyftpdlib logs every command at INFO; the tests read only the port line.
    import logging
    logging.basicConfig(level=logging.ERROR, stream=sys.stderr)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
