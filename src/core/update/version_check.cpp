// The version-check request block and reply evaluation.
#include "core/update/version_check.h"

#include <algorithm>

#include "core/text/number_text.h"

namespace murkel {
namespace {

constexpr std::string_view kVersionKey = "MURKEL_Pro:";
constexpr int kVersionPlaces = 4;

// Digit value of a version character, or -1 outside the version alphabet.
int version_digit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - 48;
  if (c >= 'A' && c <= 'Z') return c - 55;
  if (c >= 'a' && c <= 'z') return c - 61;
  if (c == ',') return 62;
  if (c == '.') return 63;
  return -1;
}

}  // namespace

std::optional<RequestBlock> build_version_request(std::string_view host) {
  if (host.empty()) return std::nullopt;
  for (unsigned char c : host) {
    if (c <= ' ' || c >= 0x7F) return std::nullopt;
  }
  const std::string request =
      "GET /softs/version.txt HTTP/1.1\r\nHost: " + std::string(host) + "\r\n\r\n";
  if (request.size() > kRequestBlockSize) return std::nullopt;
  RequestBlock block{};
  std::copy(request.begin(), request.end(), block.begin());
  return block;
}

std::string download_page_address(std::string_view host) {
  return "http://" + std::string(host) + "/softs/index.html#MURKEL_Pro";
}

bool reply_needs_more(std::string_view received) {
  const std::size_t text_end = received.find('\0');
  const std::size_t key = received.substr(0, text_end).find(kVersionKey);
  if (key == std::string_view::npos) return text_end == std::string_view::npos;
  return received.size() < key + kVersionKey.size() + kVersionPlaces;
}

ReplyEvaluation evaluate_reply(std::string_view received) {
  ReplyEvaluation result;
  if (received.empty()) {
    result.verdict = Verdict::kNoReply;
  } else {
    const std::string_view reply_text = received.substr(0, received.find('\0'));
    const std::size_t key = reply_text.find(kVersionKey);
    int valid_places = 0;
    if (key != std::string_view::npos) {
      const std::size_t first = key + kVersionKey.size();
      for (int i = 0; i < kVersionPlaces; ++i) {
        const std::size_t at = first + static_cast<std::size_t>(i);
        const int d = at < received.size() ? version_digit(static_cast<unsigned char>(received[at])) : -1;
        if (d >= 0) {
          result.packed_version = result.packed_version * 64 + d;
          result.version_text += d == 62 ? "62" : d == 63 ? "63" : number_to_text(d);
          ++valid_places;
        }
        if (i < kVersionPlaces - 1) result.version_text += '.';
      }
    }
    if (valid_places == 0) {
      result = ReplyEvaluation{};
      result.verdict = Verdict::kNoVersion;
    } else if (result.packed_version == kOwnPackedVersion) {
      result.verdict = Verdict::kLatest;
    } else if (result.packed_version > kOwnPackedVersion) {
      result.verdict = Verdict::kNewer;
    } else {
      result.verdict = Verdict::kUnreleased;
    }
  }
  return result;
}

}  // namespace murkel
