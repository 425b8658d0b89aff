#include "http/authentication.h"

#include <mutex>
#include <utility>
#include <vector>

#include "base/text_tokens.h"
#include "http/encoder_mime.h"

namespace kv {

namespace {

struct SchemeEntry {
  std::string name;
  const TIdAuthenticationClass* scheme;
};

std::vector<SchemeEntry>& AuthSchemes() {
  static std::vector<SchemeEntry> schemes{{"Basic", &kBasicAuthentication}};
  return schemes;
}

std::mutex& AuthSchemesLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

const TIdAuthenticationClass kBasicAuthentication{
    "TIdBasicAuthentication", []() -> std::unique_ptr<TIdAuthentication> {
      return std::make_unique<TIdBasicAuthentication>();
    }};

void RegisterAuthScheme(std::string_view name, const TIdAuthenticationClass& scheme) {
  std::lock_guard<std::mutex> guard(AuthSchemesLock());
  for (const SchemeEntry& entry : AuthSchemes()) {
    if (SameTextAscii(entry.name, name)) throw EIdAlreadyRegisteredAuthenticationMethod(entry.scheme->ClassName);
  }
  AuthSchemes().push_back({std::string(name), &scheme});
}

const TIdAuthenticationClass* FindAuthScheme(std::string_view name) {
  std::lock_guard<std::mutex> guard(AuthSchemesLock());
  for (const SchemeEntry& entry : AuthSchemes()) {
    if (SameTextAscii(entry.name, name)) return entry.scheme;
  }
  return nullptr;
}

TIdHeaderList& TIdAuthentication::ChallengeLines() {
  if (!challenge_lines_) challenge_lines_ = std::make_unique<TIdHeaderList>();
  return *challenge_lines_;
}

std::string TIdBasicAuthentication::CredentialsText() {
  return "Basic " + TIdEncoderMIME().Encode(Username() + ":" + Password());
}

TIdAuthNextStep TIdBasicAuthentication::DecideNext() {
  // The first Basic challenge, its parameters read afresh each time.
  std::string challenge;
  for (const std::string& line : ChallengeLines().Lines()) {
    if (line.rfind("Basic", 0) == 0) {
      challenge = line;
      break;
    }
  }
  ChallengeParams.Clear();
  const size_t blank = challenge.find(' ');
  std::string rest = blank == std::string::npos ? std::string() : challenge.substr(blank + 1);
  while (!rest.empty()) {
    std::string parameter = CutToken(rest, ", ");
    const size_t equals = parameter.find('=');
    if (equals != std::string::npos) parameter.replace(equals, 1, ": ");
    ChallengeParams.Add(parameter);
  }
  RealmText = ChallengeParams.ValueOf("realm");
  // Only a quoted realm loses its quotes.
  if (RealmText.size() >= 2 && RealmText.front() == '"' && RealmText.back() == '"')
    RealmText = RealmText.substr(1, RealmText.size() - 2);

  switch (StepsDone) {
    case 0: return Username().empty() ? anAskProgram : anSendRequest;
    case 1: return anFail;
    default: return anSendRequest;
  }
}

}  // namespace kv
