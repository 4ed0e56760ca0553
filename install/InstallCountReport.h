#pragma once
// Tells the API server that one more installation happened: one signed GET,
//
//   http://<api server>/api/systemcvn/incInstallNum?appid=desktop_app
//       &nonce_str=<32 characters>&sign=<32 upper-case hex digits>
//
// where sign is the MD5 of the query up to the nonce followed by
// "&key=<signing key>"; the key itself is never sent. An answer whose
// "success" does not read as exactly "1" is logged; nothing is retried and
// the installation goes on either way.

#include <string>

#include "install/MyHttp.h"

// http, the API server's host and port, compiled in.
extern const char* const kApiServer;

void incInstallNum();
// The same against another server and with other bounds (tests).
MyHttp::Outcome ReportInstallation(const std::string& server, const MyHttp::Limits& limits);

// <server>/api/systemcvn/incInstallNum?appid=...&nonce_str=<nonce>&sign=...
std::string MakeReportUrl(const std::string& server, const std::string& nonce);

// MD5 (RFC 1321) of the bytes of `text` through the system's cryptography
// (CNG), as 32 lower-case hex digits; empty if the system cannot hash.
std::string Md5Hex(const std::string& text);
