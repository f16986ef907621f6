#pragma once
// The exact bytes of an encrypted file, built independently of the program from public
// parts: hashlib's SHA-1, bz2 at level 5, pycryptodome's block primitives in CBC with
// the IV = E(0) and tail rule, and a few lines of RC4 whose indices restart every
// 8,192-byte piece while the permutation carries on. Serpent has no such library.
#include <string>

#include "TestUtil.h"

namespace lwtest {

inline const char* kReferenceScript = R"(
import sys, hashlib, bz2
from Cryptodome.Cipher import AES, Blowfish
cipher, phrase, compress = int(sys.argv[1]), bytes.fromhex(sys.argv[2]), sys.argv[3] == "1"
data = sys.stdin.buffer.read()
if compress:
    data = bz2.compress(data, 5)
key = hashlib.sha1(phrase).digest()

def cbc(module, k, size):
    ecb = module.new(k, module.MODE_ECB)
    iv = ecb.encrypt(bytes(size))
    full = len(data) // size * size
    body = module.new(k, module.MODE_CBC, iv=iv).encrypt(data[:full]) if full else b""
    last = body[-size:] if full else iv
    stream = ecb.encrypt(last)
    return body + bytes(a ^ b for a, b in zip(data[full:], stream))

if cipher == 0:
    S = list(range(256))
    j = 0
    for i in range(256):
        j = (j + S[i] + key[i % len(key)]) & 255
        S[i], S[j] = S[j], S[i]
    out = bytearray()
    for start in range(0, len(data), 8192):
        i = j = 0
        for b in data[start:start + 8192]:
            i = (i + 1) & 255
            t = S[i]
            j = (j + t) & 255
            S[i] = S[j]
            S[j] = t
            out.append(b ^ S[(t + S[i]) & 255])
    out = bytes(out)
elif cipher == 1:
    out = cbc(Blowfish, key, 8)
elif cipher == 3:
    out = cbc(AES, key + bytes(4), 16)  # a 20-byte key is completed with zeros to AES-192
else:
    raise SystemExit("no reference for cipher %d" % cipher)
sys.stdout.buffer.write(out)
)";

inline Bytes ReferenceOutput(int cipher, const std::string& phrase, const Bytes& data, bool compress)
{
    const Bytes phraseBytes(phrase.begin(), phrase.end());
    return RunProgram(
        {LOCKWELL_PYTHON, "-c", kReferenceScript, std::to_string(cipher), ToHex(phraseBytes), compress ? "1" : "0"},
        data);
}

} // namespace lwtest
