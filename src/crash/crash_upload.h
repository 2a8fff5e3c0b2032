#pragma once
// Sending a report to a web server: an HTTP POST of the report and its minidump as
// multipart/form-data, over TLS, or plain HTTP to this computer only.

#include <string>

namespace crash {

// What a send came to: whether the server answered, and what (status and the start of the body),
// or why it failed.
struct TUploadResult {
  bool sent = false;
  std::wstring answer;
};

// True when url may receive a report: https, or http to localhost, 127.0.0.1 or [::1].
bool IsAllowedUploadUrl(const std::wstring& url);

// The multipart/form-data body of a report ("report", text/plain; charset=utf-8) and its
// minidump ("minidump", application/octet-stream; no such part when minidump is empty), parted
// by boundary.
std::string MultipartBody(const std::string& report, const std::string& minidump, const std::string& boundary);

// Posts the report and the minidump (none when empty) to url (IsAllowedUploadUrl must hold),
// waiting at most 20 seconds for each step. Follows no redirect: the report goes to url or
// nowhere, and a 3xx answer is not sent. Never raises.
TUploadResult UploadReport(const std::wstring& url, const std::string& report, const std::string& minidump);

}  // namespace crash
