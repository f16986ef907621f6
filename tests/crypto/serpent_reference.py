#!/usr/bin/env python3
"""Serpent in the designers' standard (non-bitslice) description, for the tests only.

Reads lines "KEYHEX PLAINHEX" on stdin and prints the ciphertext hex of each line;
a line "cbc KEYHEX MESSAGEHEX" prints the whole message enciphered in CBC from the
IV E(0), a partial last block XOR-ed with E(last ciphertext block).
Key and block bytes are in memory order: byte 0 is the low byte of the 128-bit
(or 256-bit) number. Whole-byte keys shorter than 256 bits get the usual 1 bit
appended above the key.
"""
import sys

SBOX = [
    [3, 8, 15, 1, 10, 6, 5, 11, 14, 13, 4, 2, 7, 0, 9, 12],
    [15, 12, 2, 7, 9, 0, 5, 10, 1, 11, 14, 8, 6, 13, 3, 4],
    [8, 6, 7, 9, 3, 12, 10, 15, 13, 1, 14, 4, 0, 11, 5, 2],
    [0, 15, 11, 8, 12, 9, 6, 3, 13, 1, 2, 4, 10, 7, 5, 14],
    [1, 15, 8, 3, 12, 0, 11, 6, 2, 5, 4, 10, 9, 14, 7, 13],
    [15, 5, 2, 11, 4, 10, 9, 12, 0, 3, 14, 8, 13, 6, 7, 1],
    [7, 2, 12, 5, 8, 4, 6, 11, 14, 9, 1, 15, 13, 3, 10, 0],
    [1, 13, 15, 0, 14, 8, 2, 11, 7, 4, 12, 10, 9, 3, 5, 6],
]
PHI = 0x9E3779B9
MASK32 = 0xFFFFFFFF
MASK128 = (1 << 128) - 1


def rotl32(x, n):
    return ((x << n) | (x >> (32 - n))) & MASK32


def permute(x, table):
    return sum(((x >> src) & 1) << dst for dst, src in enumerate(table))


# IP sends bit 32m+k to bit 4k+m; FP is its inverse.
IP_TABLE = [32 * (i % 4) + i // 4 for i in range(128)]
FP_TABLE = [4 * (i % 32) + i // 32 for i in range(128)]


def ip(x):
    return permute(x, IP_TABLE)


def fp(x):
    return permute(x, FP_TABLE)


def s_hat(box, x):
    """The S-box applied to each of the 32 nibbles of x."""
    out = 0
    for n in range(32):
        out |= SBOX[box][(x >> (4 * n)) & 15] << (4 * n)
    return out


def words(x):
    return [(x >> (32 * m)) & MASK32 for m in range(4)]


def join(ws):
    return sum(w << (32 * m) for m, w in enumerate(ws))


def lt_hat(x):
    """The linear transformation in the standard representation: FP, the word
    equations of the description, IP."""
    x0, x1, x2, x3 = words(fp(x))
    x0 = rotl32(x0, 13)
    x2 = rotl32(x2, 3)
    x1 ^= x0 ^ x2
    x3 ^= x2 ^ ((x0 << 3) & MASK32)
    x1 = rotl32(x1, 1)
    x3 = rotl32(x3, 7)
    x0 ^= x1 ^ x3
    x2 ^= x3 ^ ((x1 << 7) & MASK32)
    x0 = rotl32(x0, 5)
    x2 = rotl32(x2, 22)
    return ip(join([x0, x1, x2, x3]))


def round_keys(key):
    bits = len(key) * 8
    k = int.from_bytes(key, "little")
    if bits < 256:
        k |= 1 << bits
    w = [(k >> (32 * i)) & MASK32 for i in range(8)]
    for i in range(132):
        w.append(rotl32(w[i] ^ w[i + 3] ^ w[i + 5] ^ w[i + 7] ^ PHI ^ i, 11))
    w = w[8:]
    return [s_hat((3 - i) % 8, ip(join(w[4 * i:4 * i + 4]))) for i in range(33)]


def encrypt_block(k_hat, block):
    b = ip(int.from_bytes(block, "little"))
    for i in range(32):
        b = s_hat(i % 8, b ^ k_hat[i])
        b = lt_hat(b) if i < 31 else b ^ k_hat[32]
    return (fp(b) & MASK128).to_bytes(16, "little")


def encrypt(key, block):
    return encrypt_block(round_keys(key), block)


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def cbc(key, message):
    k_hat = round_keys(key)
    cv = encrypt_block(k_hat, bytes(16))
    out = b""
    full = len(message) // 16 * 16
    for i in range(0, full, 16):
        cv = encrypt_block(k_hat, xor(message[i:i + 16], cv))
        out += cv
    if full < len(message):
        out += xor(message[full:], encrypt_block(k_hat, cv))
    return out


def main():
    for line in sys.stdin:
        parts = line.split()
        if len(parts) in (2, 3) and parts[0] == "cbc":
            message = bytes.fromhex(parts[2]) if len(parts) == 3 else b""
            print(cbc(bytes.fromhex(parts[1]), message).hex())
        elif len(parts) == 2:
            print(encrypt(bytes.fromhex(parts[0]), bytes.fromhex(parts[1])).hex())


if __name__ == "__main__":
    main()
