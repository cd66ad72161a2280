// The latest-version check without the network: the request block for a host
// name and the evaluation of the server's reply.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace murkel {

inline constexpr std::size_t kRequestBlockSize = 1024;
inline constexpr std::size_t kReplyBufferSize = 2048;
inline constexpr std::int32_t kOwnPackedVersion = 270336;  // 1.2.0.0
inline constexpr char kDefaultUpdateHost[] = "update.murkel-pro.example";

using RequestBlock = std::array<char, kRequestBlockSize>;

// "GET /softs/version.txt HTTP/1.1", the "Host: " line and the empty line,
// zero-padded to 1024 bytes. Nothing for an empty host name, one with a
// control character, blank or non-ASCII byte (it would change the request),
// or one too long for the block.
[[nodiscard]] std::optional<RequestBlock> build_version_request(std::string_view host);

// The download page's web address on the update server.
[[nodiscard]] std::string download_page_address(std::string_view host);

enum class Verdict {
  kLatest,       // the server names our own version
  kNewer,        // the server names a newer one: offer the download page
  kUnreleased,   // the server names an older one
  kNoReply,      // nothing was received
  kNoVersion,    // the reply holds no version key, or no version digit after it
};

struct ReplyEvaluation {
  Verdict verdict = Verdict::kNoReply;
  std::int32_t packed_version = 0;
  std::string version_text;  // as in "1.3.10.0"; empty without a version
};

// Evaluates the bytes of one receive; the editor words the verdict for the user. Only those bytes are read: the key is
// searched up to the first zero byte, and version characters that would lie
// past the received bytes count as characters outside the version alphabet.
[[nodiscard]] ReplyEvaluation evaluate_reply(std::string_view received);

}  // namespace murkel
