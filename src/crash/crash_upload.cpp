#include "crash/crash_upload.h"

#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "common/handles.h"
#include "common/text.h"

namespace crash {

namespace {

inline void CloseInternet(HINTERNET h) noexcept { WinHttpCloseHandle(h); }
using UniqueHInternet = common::UniqueHandle<common::NullTraits<HINTERNET, CloseInternet>>;

constexpr int kTimeoutMs = 20000;

struct Parts {
  std::wstring scheme, host, path;
  INTERNET_PORT port = 0;
};

bool Crack(const std::wstring& url, Parts& parts) {
  URL_COMPONENTS c{sizeof c};
  c.dwSchemeLength = c.dwHostNameLength = c.dwUrlPathLength = c.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &c)) return false;
  parts.scheme.assign(c.lpszScheme, c.dwSchemeLength);
  parts.host.assign(c.lpszHostName, c.dwHostNameLength);
  parts.path.assign(c.lpszUrlPath, c.dwUrlPathLength);
  parts.path.append(c.lpszExtraInfo, c.dwExtraInfoLength);
  if (parts.path.empty()) parts.path = L"/";
  parts.port = c.nPort;
  return true;
}

}  // namespace

bool IsAllowedUploadUrl(const std::wstring& url) {
  Parts parts;
  if (!Crack(url, parts)) return false;
  if (common::EqualNoCase(parts.scheme, L"https")) return true;
  if (!common::EqualNoCase(parts.scheme, L"http")) return false;
  for (const wchar_t* local : {L"localhost", L"127.0.0.1", L"[::1]", L"::1"})
    if (common::EqualNoCase(parts.host, local)) return true;
  return false;
}

std::string MultipartBody(const std::string& report, const std::string& minidump, const std::string& boundary) {
  std::string body;
  body += "--" + boundary + "\r\n";
  body += "Content-Disposition: form-data; name=\"report\"; filename=\"report.txt\"\r\n";
  body += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
  body += report + "\r\n";
  if (!minidump.empty()) {
    body += "--" + boundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"minidump\"; filename=\"report.dmp\"\r\n";
    body += "Content-Type: application/octet-stream\r\n\r\n";
    body += minidump + "\r\n";
  }
  body += "--" + boundary + "--\r\n";
  return body;
}

TUploadResult UploadReport(const std::wstring& url, const std::string& report, const std::string& minidump) {
  TUploadResult result;
  Parts parts;
  if (!IsAllowedUploadUrl(url) || !Crack(url, parts)) return result;
  const bool secure = common::EqualNoCase(parts.scheme, L"https");
  UniqueHInternet session(WinHttpOpen(L"Tavrelo", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return result;
  WinHttpSetTimeouts(session.get(), kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);
  UniqueHInternet connection(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
  if (!connection) return result;
  UniqueHInternet request(WinHttpOpenRequest(connection.get(), L"POST", parts.path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             secure ? WINHTTP_FLAG_SECURE : 0));
  // A redirect would carry the report to an address nobody chose; a request that cannot be told
  // to refuse them is not made.
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!request || !WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never))
    return result;
  const std::string boundary = "----TavreloReport7d1c2f";
  std::string body = MultipartBody(report, minidump, boundary);
  const std::wstring headers = L"Content-Type: multipart/form-data; boundary=" + common::FromUtf8(boundary).value_or(L"");
  if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()), body.data(),
                          static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    return result;
  DWORD status = 0, size = sizeof status;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                      &status, &size, WINHTTP_NO_HEADER_INDEX);
  std::string answer;
  for (;;) {
    char buffer[1024];
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &read) || read == 0) break;
    answer.append(buffer, read);
    if (answer.size() > 500) break;
  }
  result.sent = status >= 200 && status < 300;
  result.answer = std::to_wstring(status) + L" " + common::FromUtf8(answer.substr(0, 500)).value_or(L"");
  return result;
}

}  // namespace crash
