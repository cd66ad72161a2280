// Version check without the network: the request block and the evaluation of replies.
#include <string>

#include <gtest/gtest.h>

#include "core/update/version_check.h"

namespace murkel {
namespace {

TEST(VersionRequest, BlockHoldsTheRequestTextThenZeros) {
  const struct { const char* host; std::string text; } built[] = {
      {"update.murkel-pro.example", "GET /softs/version.txt HTTP/1.1\r\nHost: update.murkel-pro.example\r\n\r\n"},
      {"127.0.0.1", "GET /softs/version.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"},
  };
  for (const auto& c : built) {
    const auto block = build_version_request(c.host);
    ASSERT_TRUE(block) << c.host;
    EXPECT_EQ(std::string(block->begin(), block->end()), c.text + std::string(1024 - c.text.size(), '\0')) << c.host;
  }
  // 981 bytes of host fill the block exactly: the empty line ends it, no zero byte left.
  const std::string fits(981, 'h');
  const auto full = build_version_request(fits);
  ASSERT_TRUE(full);
  EXPECT_EQ(std::string(full->begin() + 39, full->end()), fits + "\r\n\r\n");
  // Refused: one byte too long, empty, a blank, a line break that would add a header, a non-ASCII byte.
  for (const std::string host : {fits + "h", std::string(), std::string("a b"), std::string("x\r\nX-Injected: 1"),
                                 std::string("h\xE9")}) {
    EXPECT_FALSE(build_version_request(host)) << host.substr(0, 40);
  }
  EXPECT_EQ(download_page_address("h.example"), "http://h.example/softs/index.html#MURKEL_Pro");
}

TEST(VersionReply, Evaluation) {
  using enum Verdict;
  const std::string status = "HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n";
  const struct { std::string received; Verdict verdict; int packed; const char* text; } cases[] = {
      // the three verdicts; the key may stand anywhere in the reply
      {status + "MURKEL_Pro:1200\r\n", kLatest, 270336, "1.2.0.0"},
      {status + "MURKEL_Pro:1300\r\n", kNewer, 274432, "1.3.0.0"},
      {status + "MURKEL_Pro:1100\r\n", kUnreleased, 266240, "1.1.0.0"},
      {"MURKEL_Pro:13A0", kNewer, 275072, "1.3.10.0"},
      {"xMURKEL_Pro:zz,.", kNewer, 16244671, "61.61.62.63"},
      // the first key counts; case matters
      {"MURKEL_Pro:1100 MURKEL_Pro:1300", kUnreleased, 266240, "1.1.0.0"},
      {"murkel_pro:1300 MURKEL_PRO:1300", kNoVersion, 0, ""},
      // characters outside the alphabet, and places past the received bytes, are skipped
      {"MURKEL_Pro:1-3!", kUnreleased, 67, "1..3."},
      {"MURKEL_Pro:13", kUnreleased, 67, "1.3.."},
      {"MURKEL_Pro:", kNoVersion, 0, ""},
      {"MURKEL_Pro:-!-!", kNoVersion, 0, ""},
      // the key is searched up to the first zero byte only
      {std::string("ab\0MURKEL_Pro:1300", 18), kNoVersion, 0, ""},
      {std::string("MURKEL_Pro:1\0" "20", 15), kUnreleased, 4224, "1..2.0"},
      {status + "<html>Not Found</html>", kNoVersion, 0, ""},
      {"", kNoReply, 0, ""},
  };
  for (const auto& c : cases) {
    const ReplyEvaluation r = evaluate_reply(c.received);
    EXPECT_EQ(r.verdict, c.verdict) << c.received;
    EXPECT_EQ(r.packed_version, c.packed) << c.received;
    EXPECT_EQ(r.version_text, c.text) << c.received;
  }
  // The received bytes end right after the key although the buffer goes on.
  const std::string buffer = "MURKEL_Pro:1300";
  EXPECT_EQ(evaluate_reply(std::string_view(buffer.data(), 11)).verdict, kNoVersion);
}

TEST(VersionReply, ReceivingGoesOnUntilTheVerdictCannotChange) {
  const struct { std::string received; bool needs_more; } cases[] = {
      {"", true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n", true},  // headers without the body yet
      {"HTTP/1.1 200 OK\r\n\r\nMURKEL_Pr", true},                 // the key cut apart
      {"MURKEL_Pro:130", true},                                     // three of the four characters
      {"MURKEL_Pro:1300", false},
      {"xx MURKEL_Pro:1-3!\r\n", false},                             // four characters, valid or not
      {std::string("MURKEL_Pro:1\0" "20", 15), false},               // characters after a zero byte count
      {std::string("no key\0MURKEL_Pro:1300", 22), false},          // the reply text ended before any key
  };
  for (const auto& c : cases) EXPECT_EQ(reply_needs_more(c.received), c.needs_more) << c.received;
}

}  // namespace
}  // namespace murkel
