#!/usr/bin/python3
"""Sends one HL7 message over MLLP inside TLS: python3-hl7's MLLPClient with its socket wrapped
by Python's ssl module. Prints "ACK" and the ACK's segments, "CLOSED" when the gateway closed the
connection without an answer, or "REFUSED" and the TLS alert.

usage: tls_mllp_send.py HOST PORT CA-FILE CERT-FILE|- KEY-FILE|- MESSAGE-FILE
"""
import ssl
import sys

from hl7.client import MLLPClient


def main():
    host, port, ca, cert, key, message_file = sys.argv[1:7]
    context = ssl.create_default_context(ssl.Purpose.SERVER_AUTH, cafile=ca)
    if cert != "-":
        context.load_cert_chain(cert, key)
    with open(message_file, "rb") as f:
        message = f.read()
    client = MLLPClient(host, int(port))
    client.socket.settimeout(20)
    try:
        client.socket = context.wrap_socket(client.socket, server_hostname="localhost")
        ack = client.send_message(message)
    except ssl.SSLError as error:
        print("REFUSED", error.reason)
        return
    except (ConnectionResetError, BrokenPipeError) as error:
        print("RESET", error)
        return
    finally:
        client.close()
    if not ack:
        print("CLOSED")
        return
    print("ACK")
    print(ack.strip(b"\x0b\x1c\r").decode("utf-8", "replace").replace("\r", "\n"))


if __name__ == "__main__":
    main()
