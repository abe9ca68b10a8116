// Fails the running test when a known session token shows up in a log line.
//
// The library must never write a session token to either of its logs (the host log and glog). The
// test main installs this check for the whole run: it sees every line of both logs, also while a
// test has replaced the host log's sink with its own (the check stays in front and hands each
// line on to the test's sink).
#ifndef LUMO_TESTS_SUPPORT_LOG_SECRET_CHECK_H_
#define LUMO_TESTS_SUPPORT_LOG_SECRET_CHECK_H_

#include <string>
#include <vector>

namespace lumo::testing {

struct KnownToken {
  const char* text;
  // Short tokens ("tok", "acct") are also ordinary words: they count only as the whole value of
  // a pair ("kwtok=acct&", "KWTOK=acct;"), never inside other text ("token", "account").
  bool whole_value_only;
};

// Every token the tests and the sandbox's seed users use.
const std::vector<KnownToken>& KnownTokens();

// A token as it may be printed: its first characters and its length, never the whole.
std::string MaskedToken(const std::string& token);

// The known tokens in `line`, each once; empty when there are none.
std::vector<const KnownToken*> FindKnownTokens(const std::string& line);

// `line` with every known token in it replaced by its masked form.
std::string MaskKnownTokens(std::string line);

// Installs the check on the host log and on glog for the rest of the process. Any thread may log
// from then on; a finding is a non-fatal failure of the test that is running. Call once, first
// thing in main.
void InstallLogSecretCheck();

}  // namespace lumo::testing

#endif  // LUMO_TESTS_SUPPORT_LOG_SECRET_CHECK_H_
