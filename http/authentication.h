#pragma once
// Authentication schemes: the base of every scheme, the one scheme this
// client brings (Basic), and the process-wide registry that maps a
// challenge's scheme name to the scheme that answers it.
#include <memory>
#include <string>
#include <string_view>

#include "base/persistent.h"
#include "http/header_list.h"
#include "net/exceptions.h"

namespace kv {

enum TIdAuthNextStep { anAskProgram, anSendRequest, anFail };

class TIdAuthentication : public Persistent {
 public:
  ~TIdAuthentication() override = default;
  const char* ClassName() const noexcept override { return "TIdAuthentication"; }

  int StepsDone = 0;
  // The user's parameters: "Username", "Password" and, for the origin, the
  // "Authorization" text last answered with.
  TIdHeaderList ParamLines;
  // The challenge values the scheme answers ("WWW-Authenticate" or
  // "Proxy-Authenticate").
  TIdHeaderList& ChallengeLines();

  std::string Username() const { return ParamLines.ValueOf("username"); }
  std::string Password() const { return ParamLines.ValueOf("password"); }
  TIdAuthNextStep Next() { return DecideNext(); }

  virtual TIdAuthNextStep DecideNext() { return anFail; }
  virtual int StepCount() const { return 0; }
  // Empty values remove the line.
  virtual void AssignPassword(std::string_view value) { ParamLines.SetValueOf("Password", value); }
  virtual void AssignUserName(std::string_view value) { ParamLines.SetValueOf("Username", value); }
  virtual void Restart() {}
  // The header value to send, for example "Basic dXNlcjpwdw==".
  virtual std::string CredentialsText() = 0;
  virtual bool KeepsConnection() const = 0;

 protected:
  TIdAuthentication() = default;

 private:
  std::unique_ptr<TIdHeaderList> challenge_lines_;
};

class TIdBasicAuthentication : public TIdAuthentication {
 public:
  const char* ClassName() const noexcept override { return "TIdBasicAuthentication"; }

  std::string RealmText;
  // The parameters of the challenge last answered, apart from the user's:
  // a challenge cannot put words in the user's mouth.
  TIdHeaderList ChallengeParams;

  TIdAuthNextStep DecideNext() override;
  int StepCount() const override { return 1; }
  void Restart() override { StepsDone = 0; }
  // "Basic " + Base64(user name ":" password).
  std::string CredentialsText() override;
  bool KeepsConnection() const override { return false; }
};

// A scheme as the registry knows it: its class name and how to make one.
struct TIdAuthenticationClass {
  const char* ClassName;
  std::unique_ptr<TIdAuthentication> (*Create)();
};
extern const TIdAuthenticationClass kBasicAuthentication;

class EIdAlreadyRegisteredAuthenticationMethod : public EIdException {
 public:
  explicit EIdAlreadyRegisteredAuthenticationMethod(const std::string& class_name)
      : EIdException("This authentication method is already registered with class name " + class_name + ".") {}
  const char* ClassName() const noexcept override { return "EIdAlreadyRegisteredAuthenticationMethod"; }
};

// Names compare ignoring case; "Basic" is there from the start.
void RegisterAuthScheme(std::string_view name, const TIdAuthenticationClass& scheme);
const TIdAuthenticationClass* FindAuthScheme(std::string_view name);

}  // namespace kv
