#!/usr/bin/python3
"""Encrypts a package with an open password the way the office format does it (agile
encryption: AES-256-CBC, SHA-512, 4096-byte segments, HMAC over the encrypted stream) and
wraps it in a compound file. Test files are made with it; msoffcrypto-tool checks them.

    encrypt_workbook.py PLAIN ENCRYPTED PASSWORD [--spin N] [--sector 512|4096] [--bad-hmac]
"""
import argparse
import base64
import hashlib
import hmac
import os
import struct

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

VERIFIER_INPUT = bytes.fromhex("fea7d2763b4b9e79")
VERIFIER_HASH = bytes.fromhex("d7aa0f6d3061344e")
KEY_VALUE = bytes.fromhex("146e0be7abacd0d6")
HMAC_KEY = bytes.fromhex("5fb2ad010cb9e1f6")
HMAC_VALUE = bytes.fromhex("a0677f02b22c8433")
SEGMENT = 4096


def sha512(data):
    return hashlib.sha512(data).digest()


def aes(key, iv, data):
    data += b"\0" * (-len(data) % 16)
    enc = Cipher(algorithms.AES(key), modes.CBC(iv)).encryptor()
    return enc.update(data) + enc.finalize()


def encrypt(plain, password, spin):
    key_salt, pw_salt = os.urandom(16), os.urandom(16)
    h = sha512(pw_salt + password.encode("utf-16-le"))
    for i in range(spin):
        h = sha512(struct.pack("<I", i) + h)

    def password_key(block):
        return sha512(h + block)[:32]

    secret = os.urandom(32)
    verifier = os.urandom(16)
    package = struct.pack("<Q", len(plain))
    for n, at in enumerate(range(0, len(plain), SEGMENT)):
        package += aes(secret, sha512(key_salt + struct.pack("<I", n))[:16], plain[at:at + SEGMENT])
    hmac_key = os.urandom(64)
    hmac_value = hmac.new(hmac_key, package, hashlib.sha512).digest()
    return package, {
        "keySalt": key_salt,
        "pwSalt": pw_salt,
        "spin": spin,
        "verifierInput": aes(password_key(VERIFIER_INPUT), pw_salt, verifier),
        "verifierHash": aes(password_key(VERIFIER_HASH), pw_salt, sha512(verifier)),
        "keyValue": aes(password_key(KEY_VALUE), pw_salt, secret),
        "hmacKey": aes(secret, sha512(key_salt + HMAC_KEY)[:16], hmac_key),
        "hmacValue": aes(secret, sha512(key_salt + HMAC_VALUE)[:16], hmac_value),
    }


def encryption_info(k):
    b = lambda v: base64.b64encode(v).decode()
    common = ('saltSize="16" blockSize="16" keyBits="256" hashSize="64" cipherAlgorithm="AES" '
              'cipherChaining="ChainingModeCBC" hashAlgorithm="SHA512"')
    xml = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
           '<encryption xmlns="http://schemas.microsoft.com/office/2006/encryption" '
           'xmlns:p="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
           f'<keyData {common} saltValue="{b(k["keySalt"])}"/>'
           f'<dataIntegrity encryptedHmacKey="{b(k["hmacKey"])}" encryptedHmacValue="{b(k["hmacValue"])}"/>'
           '<keyEncryptors><keyEncryptor uri="http://schemas.microsoft.com/office/2006/keyEncryptor/password">'
           f'<p:encryptedKey spinCount="{k["spin"]}" {common} saltValue="{b(k["pwSalt"])}" '
           f'encryptedVerifierHashInput="{b(k["verifierInput"])}" '
           f'encryptedVerifierHashValue="{b(k["verifierHash"])}" '
           f'encryptedKeyValue="{b(k["keyValue"])}"/>'
           '</keyEncryptor></keyEncryptors></encryption>')
    return struct.pack("<HHI", 4, 4, 0x40) + xml.encode()


END, FREE, FATSECT, NOSTREAM = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFF


def compound_file(streams, shift):
    """A compound file whose root storage holds `streams` (name, bytes), small ones in the
    mini stream. Sector size 512 (version 3) or 4096 (version 4)."""
    size = 1 << shift
    sectors, fat = [], []

    def chain(data):
        if not data:
            return END
        start, count = len(sectors), (len(data) + size - 1) // size
        for i in range(count):
            sectors.append(data[i * size:(i + 1) * size].ljust(size, b"\0"))
            fat.append(start + i + 1 if i < count - 1 else END)
        return start

    mini, minifat, entries = b"", [], []
    for name, data in streams:
        if len(data) < 4096:
            start, count = len(mini) // 64, (len(data) + 63) // 64
            mini += data.ljust(count * 64, b"\0")
            minifat += [start + i + 1 for i in range(count - 1)] + [END]
            entries.append((name, 2, start, len(data)))
        else:
            entries.append((name, 2, chain(data), len(data)))
    entries.insert(0, ("Root Entry", 5, chain(mini), len(mini)))

    def entry(i, name, kind, start, length):
        raw = name.encode("utf-16-le") + b"\0\0"
        child = 1 if kind == 5 and len(entries) > 1 else NOSTREAM
        right = i + 1 if 0 < i < len(entries) - 1 else NOSTREAM
        return (raw.ljust(64, b"\0") + struct.pack("<HBBIII", len(raw), kind, 1, NOSTREAM, right, child)
                + b"\0" * 36 + struct.pack("<IQ", start, length))

    directory = b"".join(entry(i, *e) for i, e in enumerate(entries))
    directory += b"\0" * (-len(directory) % size)
    dir_start = chain(directory)
    minifat_bytes = struct.pack(f"<{len(minifat)}I", *minifat)
    minifat_start = chain(minifat_bytes)
    per = size // 4
    fat_count = 1
    while len(fat) + fat_count > fat_count * per:
        fat_count += 1
    fat_start = len(sectors)
    fat += [FATSECT] * fat_count
    fat += [FREE] * (fat_count * per - len(fat))
    for i in range(fat_count):
        sectors.append(struct.pack(f"<{per}I", *fat[i * per:(i + 1) * per]))
    assert fat_count <= 109
    difat = [fat_start + i for i in range(fat_count)] + [FREE] * (109 - fat_count)
    header = (bytes.fromhex("d0cf11e0a1b11ae1") + b"\0" * 16
              + struct.pack("<HHHHH", 0x3E, 3 if shift == 9 else 4, 0xFFFE, shift, 6) + b"\0" * 6
              + struct.pack("<IIIIIIIII", len(directory) // size if shift == 12 else 0, fat_count,
                            dir_start, 0, 4096, minifat_start,
                            (len(minifat_bytes) + size - 1) // size, END, 0)
              + struct.pack("<109I", *difat))
    return header.ljust(size, b"\0") + b"".join(sectors)


def main():
    a = argparse.ArgumentParser()
    a.add_argument("plain")
    a.add_argument("encrypted")
    a.add_argument("password")
    a.add_argument("--spin", type=int, default=100000)
    a.add_argument("--sector", type=int, default=512, choices=(512, 4096))
    a.add_argument("--bad-hmac", action="store_true", help="change one encrypted byte afterwards")
    o = a.parse_args()
    with open(o.plain, "rb") as f:
        package, keys = encrypt(f.read(), o.password, o.spin)
    if o.bad_hmac:
        package = package[:-1] + bytes([package[-1] ^ 1])
    data = compound_file([("EncryptionInfo", encryption_info(keys)), ("EncryptedPackage", package)],
                         9 if o.sector == 512 else 12)
    with open(o.encrypted, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
