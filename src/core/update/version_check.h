// The latest-version check without the network: the request block for a host
// name and the evaluation of the server's reply.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/version.h"

namespace murkel {

inline constexpr std::size_t kRequestBlockSize = 1024;
inline constexpr std::size_t kReplyBufferSize = 2048;
// The own version packed as the version file writes it: one base-64 digit per part.
inline constexpr std::int32_t kOwnPackedVersion =
    ((MURKEL_VERSION_MAJOR * 64 + MURKEL_VERSION_MINOR) * 64 + MURKEL_VERSION_PATCH) * 64 + MURKEL_VERSION_TWEAK;
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

// Whether more of the reply could still change its evaluation: false once the
// key and the four characters after it have arrived, or once a zero byte has
// ended the reply text before any key. A server may send its headers and its
// body in separate pieces, so the editor keeps receiving until this is false,
// the server closes, or the reply buffer is full.
[[nodiscard]] bool reply_needs_more(std::string_view received);

// Evaluates the received bytes; the editor words the verdict for the user. Only those bytes are read: the key is
// searched up to the first zero byte, and version characters that would lie
// past the received bytes count as characters outside the version alphabet.
[[nodiscard]] ReplyEvaluation evaluate_reply(std::string_view received);

}  // namespace murkel
