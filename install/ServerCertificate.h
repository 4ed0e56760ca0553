#pragma once
// The check of an HTTPS server's certificate, made by the installer itself
// through the system's chain engine (crypt32) on every connection before a
// request is sent on it.
//
// Why our own: Schannel's own check is not what it seems everywhere (Wine's
// accepts any certificate when curl drives it), and where it refuses, curl
// reports only that it did. Ours runs the same engine as Windows' own, with
// the machine's trusted roots and policies (a company's TLS-inspecting root
// included), and says which check failed. Revocation is best effort: a
// revocation server that cannot be reached (behind a TLS-inspecting proxy,
// say) does not refuse the certificate; one that says "revoked" does.

#include <curl/curl.h>

#include <string>

enum class CertificateVerdict {
    Trusted,
    Untrusted,  // no chain to a root this machine trusts
    Expired,    // outside its validity dates (or one in its chain is)
    WrongHost,  // issued for another name than the URL's host
    Revoked,
    Invalid,    // anything else: wrong usage, bad signature, unreadable
};

// English, for the log.
const char* DescribeVerdict(CertificateVerdict verdict);

// The certificate the server of `handle`'s current connection presented,
// checked for `host` (the URL's host name or address). Invalid when the
// connection is not TLS through Schannel, or its certificate cannot be had.
CertificateVerdict CheckServerCertificate(CURL* handle, const std::string& host);
