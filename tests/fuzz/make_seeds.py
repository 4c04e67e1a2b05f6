#!/usr/bin/env python3
"""Writes the seed corpus: crafted replies that reach each parsing rule, as one-step fuzzer scripts.

The fuzzer takes its numbers from the end of an input and its datagram bytes from the front, so a
seed is the reply, then its length in three bytes (least significant first), then the step selector.
"""
import os
import sys

MAC = bytes([0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E])
REPLIES = {
    'worked_example': b'192.168.1.30:HTTP80,MAC' + MAC,
    'leading_colon': b':HTTP80,MAC' + MAC,
    'commas_before_port': b'1.2.3.4:HTTP,,80,MAC' + MAC,
    'colon_port': b'1.2.3.4:HTTP:80,MAC' + MAC,
    'nine_digits': b'1.2.3.4:HTTP123456789,MAC' + MAC,
    'http_at_end': b'1.2.3.4:MAC' + MAC + b'HTTP',
    'lower_case': b'1.2.3.4:http80,mac' + MAC,
    'zero_before_http': b'1.2.3.4:MAC\x00\x00\x01\x02\x03\x04HTTP80,',
    'no_mac': b'1.2.3.4:HTTP80,',
    'bytes_after_mac': b'1.2.3.4:HTTP80,MAC' + MAC + b'trailing junk',
    'mac_cut_short': b'1.2.3.4:HTTP80,MAC\x00\x1a',
    'long_ip': b'a-very-long-host-name-indeed:HTTP80,MAC' + MAC,
    'no_zero_512': b'x' * 500 + b':MAC123456' + b'y' * 20,
    'negative_port': b'1.2.3.4:HTTP-8080,MAC' + MAC,
}


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for name, reply in REPLIES.items():
        n = len(reply)
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(reply + bytes([n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF, 3]))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus'))
