"""A throwaway certificate authority and a leaf for 127.0.0.1, made with openssl."""

import os
import subprocess


def make_certificates(folder):
    """CA and leaf for 127.0.0.1/localhost in folder: (ca_pem, ca_der, leaf_pem, key_pem)."""
    def path(name):
        return os.path.join(folder, name)

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    with open(path("leaf.ext"), "w") as f:
        f.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                # Wine matches the host only against DNS names, so the
                # address is there as one too.
                "subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost\n"
                "authorityKeyIdentifier=keyid\n")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-days", "2", "-subj", "/CN=Lunteva throwaway test CA", "-addext",
            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", path("ca.pem"), "-outform", "der", "-out", path("ca.der"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", path("leaf.key"), "-out", path("leaf.csr"),
            "-subj", "/CN=127.0.0.1")
    openssl("x509", "-req", "-in", path("leaf.csr"), "-CA", path("ca.pem"), "-CAkey", path("ca.key"),
            "-CAcreateserial", "-out", path("leaf.pem"), "-days", "2", "-extfile", path("leaf.ext"))
    return path("ca.pem"), path("ca.der"), path("leaf.pem"), path("leaf.key")


def windows_path(unix_path):
    """The path as a Wine prefix's Z: drive (the Unix root) names it."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")
