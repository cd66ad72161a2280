// The latest-version check over Winsock 1.1: one blocking HTTP/1.1 request
// to port 80 of the update server, then the verdict in a message box.
#include <winsock2.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/update/version_check.h"
#include "editor/app/app_state.h"
#include "editor/app/texts.h"
#include "editor/app/unicode_text.h"
#include "editor/dialogs/dialog_windows.h"

namespace murkel {
namespace {

// The update server; a mirror (or a test) names another host here.
constexpr wchar_t kHostVariable[] = L"MURKEL_UPDATE_HOST";

std::string update_server_host() {
  const DWORD size = GetEnvironmentVariableW(kHostVariable, nullptr, 0);
  if (size <= 1) return kDefaultUpdateHost;
  std::wstring host(size, L'\0');
  host.resize(GetEnvironmentVariableW(kHostVariable, host.data(), size));
  return to_utf8(host);
}

void check_failed(const wchar_t* message) { MessageBoxW(nullptr, message, L"", MB_OK); }

void shell_open(const std::string& document) {
  ShellExecuteW(nullptr, L"open", from_utf8(document).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The reply, gathered piece by piece into the reply buffer: a server may send
// its headers and its body apart. Receiving ends once the key and the four
// characters after it are in (or nothing later could change the verdict), the
// server closes the connection or fails, or the buffer is full. A piece that
// would start the reply with a zero byte is dropped, as it always was.
std::string receive_reply(SOCKET socket) {
  std::vector<char> reply(kReplyBufferSize);
  std::size_t kept = 0;
  while (kept < reply.size()) {
    const int received = recv(socket, reply.data() + kept, static_cast<int>(reply.size() - kept), 0);
    if (received <= 0) break;
    if (kept == 0 && reply[0] == '\0') continue;
    kept += static_cast<std::size_t>(received);
    if (!reply_needs_more(std::string_view(reply.data(), kept))) break;
  }
  return std::string(reply.data(), kept);
}

// What the user is told of a verdict.
std::wstring verdict_message(const ReplyEvaluation& result) {
  const Texts& t = texts();
  const std::wstring version = from_utf8(result.version_text);
  switch (result.verdict) {
    case Verdict::kLatest:     return t.verdict_latest;
    case Verdict::kNewer:      return t.verdict_newer_before + version + t.verdict_newer_after;
    case Verdict::kUnreleased: return t.verdict_unreleased_before + version + t.verdict_unreleased_after;
    case Verdict::kNoReply:    return t.no_reply;
    case Verdict::kNoVersion:  return t.no_version_in_reply;
  }
  return {};
}

void tell_verdict(const ReplyEvaluation& result, const std::string& host) {
  const std::wstring message = verdict_message(result);
  switch (result.verdict) {
    case Verdict::kLatest:
    case Verdict::kUnreleased:
      MessageBoxW(nullptr, message.c_str(), texts().check_caption, MB_OK);
      break;
    case Verdict::kNewer: {
      const int answer = MessageBoxW(nullptr, message.c_str(), texts().check_caption, MB_YESNO);
      app.last_answer = answer;
      if (answer == IDYES) shell_open(download_page_address(host));
      break;
    }
    case Verdict::kNoReply:
    case Verdict::kNoVersion:
      check_failed(message.c_str());
      break;
  }
}

}  // namespace

void run_version_check() {
  const std::string host = update_server_host();
  // A host name that cannot go into the request is a server we cannot reach.
  const std::optional<RequestBlock> request = build_version_request(host);
  const Texts& t = texts();
  if (!request) return check_failed(t.cannot_connect);

  WSADATA socket_library{};
  if (WSAStartup(0x0101, &socket_library) != 0) return check_failed(t.no_winsock);
  const SOCKET server_socket = socket(AF_INET, SOCK_STREAM, 0);
  if (server_socket == INVALID_SOCKET) {
    check_failed(t.no_socket);
    WSACleanup();
    return;
  }
  auto close_with = [&](const wchar_t* message) {
    check_failed(message);
    closesocket(server_socket);
    WSACleanup();
  };

  // A failed lookup ends here: there is no address to connect to.
  const hostent* entry = gethostbyname(host.c_str());
  if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list[0]) {
    return close_with(t.cannot_connect);
  }
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(80);
  memcpy(&server.sin_addr, entry->h_addr_list[0], 4);
  if (connect(server_socket, reinterpret_cast<const sockaddr*>(&server), sizeof(server)) == SOCKET_ERROR) {
    return close_with(t.cannot_connect);
  }
  // The whole block goes out, the zero bytes after the request text included.
  if (send(server_socket, request->data(), static_cast<int>(request->size()), 0) !=
      static_cast<int>(kRequestBlockSize)) {
    return close_with(t.cannot_send);
  }
  const std::string reply = receive_reply(server_socket);
  closesocket(server_socket);
  WSACleanup();

  tell_verdict(evaluate_reply(reply), host);
}

}  // namespace murkel
