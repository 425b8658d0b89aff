// The client's settings, its link to the cookie manager, and the request
// loop that runs pass after pass until a verdict ends it.
#include "http/http_client.h"

#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "http/cookie_manager.h"
#include "http/http_exceptions.h"

namespace kv {

TIdCustomHTTP::TIdCustomHTTP(Component* owner)
    : TIdTCPClient(owner),
      current_uri_(std::make_unique<TIdURI>()),
      protocol_(std::make_unique<TIdHTTPProtocol>()),
      proxy_params_(std::make_unique<TIdProxyConnectionInfo>()) {
  SetPort(80);
}

TIdCustomHTTP::~TIdCustomHTTP() {
  if (cookie_manager_ != nullptr && !owns_cookie_manager_) cookie_manager_->RemoveFreeNotification(this);
  cookie_manager_ = nullptr;
}

void TIdCustomHTTP::SetRequest(const TIdHTTPRequest& request) { Request().Assign(request); }

void TIdCustomHTTP::SetHost(const std::string& host) {
  TIdTCPClient::SetHost(host);
  current_uri_->Host = host;
}

void TIdCustomHTTP::SetPort(int port) {
  TIdTCPClient::SetPort(port);
  current_uri_->Port = IntToStr(port);
}

void TIdCustomHTTP::SetCookieManager(TIdCookieManager* manager) {
  if (manager == cookie_manager_) return;
  if (owns_cookie_manager_) {
    cookie_manager_ = nullptr;
    owned_cookie_manager_.reset();
  } else if (cookie_manager_ != nullptr) {
    cookie_manager_->RemoveFreeNotification(this);
  }
  owns_cookie_manager_ = false;
  cookie_manager_ = manager;
  if (manager != nullptr) manager->FreeNotification(this);
}

void TIdCustomHTTP::Notification(Component* component, Operation operation) {
  if (operation == Operation::opRemove && component != nullptr && component == cookie_manager_) {
    cookie_manager_ = nullptr;
    owns_cookie_manager_ = false;
  }
  TIdTCPClient::Notification(component, operation);
}

void TIdCustomHTTP::Get(const std::string& url, Stream* body) { RunRequest(hmGet, url, body, nullptr); }

void TIdCustomHTTP::Head(const std::string& url) { RunRequest(hmHead, url, nullptr, nullptr); }

void TIdCustomHTTP::Post(const std::string& url, Stream& upload, Stream* body) {
  RunRequest(hmPost, url, body, &upload);
}

bool TIdCustomHTTP::NotifyRedirect(std::string& dest, TIdHTTPMethod& method, int count) {
  bool handled = HandleRedirects;
  if (OnRedirect) {
    int count_copy = count;
    OnRedirect(this, dest, count_copy, handled, method);
  }
  return handled;
}

void TIdCustomHTTP::RunRequest(TIdHTTPMethod method, const std::string& url, Stream* body, Stream* upload) {
  auth_attempts_ = 0;
  proxy_auth_attempts_ = 0;
  Request().UploadStream = upload;
  LastResponse().BodyStream = body;
  try {
    RunPasses(method, url, body);
  } catch (...) {
    // The request's own failure is what the caller learns of.
    try {
      EndRequest();
    } catch (...) {
      redirect_counter_ = 0;
    }
    throw;
  }
  EndRequest();
}

void TIdCustomHTTP::EndRequest() {
  CloseUnlessReusable();
  redirect_counter_ = 0;
}

void TIdCustomHTTP::RunPasses(TIdHTTPMethod method, const std::string& url, Stream* body) {
  // The body is written from where the stream stands now; a followed
  // redirect cuts it back to here.
  const int64_t start = body != nullptr ? body->Position() : 0;
  std::string followed_url;  // the URL of the pass after a followed verdict
  TIdHTTPPass pass{url, method, false, {}};
  for (;;) {
    ++redirect_counter_;
    const TIdHTTPVerdict verdict = RunPass(pass);
    switch (verdict.Step) {
      case nxDone:
        return;
      case nxUndecided:
        throw EIdException("Undefined situation");
      case nxFollow:
        if (body != nullptr) {
          body->Seek(start, SeekOrigin::Beginning);
          body->SetSize(start);
        }
        if (verdict.AnswersChallenge) {
          --redirect_counter_;
        } else {
          auth_attempts_ = 0;
          proxy_auth_attempts_ = 0;
        }
        followed_url = verdict.Target;
        pass = {followed_url, verdict.Method, true, {}};
        break;
      case nxAuthRetry:
        // The credentials changed, not the target: the caller's URL again.
        --redirect_counter_;
        pass = {url, verdict.Method, false, {}};
        break;
    }
  }
}

TIdHTTPVerdict TIdCustomHTTP::RunPass(TIdHTTPPass& pass) {
  Request().RequestMethod = pass.Method;
  ResolveTarget(pass);
  ConnectAndSend(pass);
  ReadResponseHead();
  TIdHTTPVerdictInput input = VerdictInput(pass);
  AskEvents(input);
  TIdHTTPVerdict verdict = EvaluateResponse(input);
  // A redirect that is handled but not followed ends the request; the
  // response names the target its handler settled on.
  if (input.Kind == rkRedirect && verdict.Step == nxDone) LastResponse().Location = std::move(input.RedirectTarget);
  CarryOut(verdict, pass.Method);
  return verdict;
}

TIdHTTPVerdictInput TIdCustomHTTP::VerdictInput(const TIdHTTPPass& pass) {
  TIdHTTPResponse& response = LastResponse();
  TIdHTTPVerdictInput input;
  input.Kind = ResponseKindOf(response.StatusCode(), response.Location);
  input.Method = pass.Method;
  input.Target = pass.Target;
  input.HandleRedirects = HandleRedirects;
  input.RedirectCount = redirect_counter_;
  input.RedirectMaximum = RedirectMaximum;
  input.AuthRetries = AuthRetries;
  input.AuthAttempts = auth_attempts_;
  input.ProxyAuthAttempts = proxy_auth_attempts_;
  input.InProcessAuth = (HTTPOptions & hoInProcessAuth) != 0;
  return input;
}

void TIdCustomHTTP::AskEvents(TIdHTTPVerdictInput& input) {
  switch (input.Kind) {
    case rkRedirect:
      input.RedirectTarget = LastResponse().Location;
      input.RedirectMethod = input.Method;
      input.RedirectHandled = NotifyRedirect(input.RedirectTarget, input.RedirectMethod, redirect_counter_);
      break;
    // Authentication and proxy authentication answer their challenges here.
    case rkChallenge:
      input.ChallengeAnswered = ChallengeWithinLimit(input) && HandleAuthChallenge(Request(), LastResponse());
      break;
    case rkProxyChallenge:
      input.ChallengeAnswered = ChallengeWithinLimit(input) && HandleProxyAuthChallenge(Request(), LastResponse());
      break;
    case rkDone:
    case rkRefused:
      break;
  }
}

void TIdCustomHTTP::CarryOut(TIdHTTPVerdict& verdict, TIdHTTPMethod method) {
  TIdHTTPResponse& response = LastResponse();
  if (verdict.Body == baRaiseStatusError) {
    // A challenge that goes unanswered starts its scheme again.
    const int code = response.StoredStatusCode();
    if (code == 401 && Request().Authenticator) Request().Authenticator->Restart();
    if (code == 407 && ProxyParams().ProxyAuthenticator) ProxyParams().ProxyAuthenticator->Restart();
    RaiseStatusError(response, method);
  }
  if (!Connected()) {
    verdict.Step = verdict.StepIfClosed;
    return;
  }
  if (verdict.Body == baDiscard) DiscardBody(response, method);
  if (verdict.Body == baRead) ReadBody(response, method);
}

bool TIdCustomHTTP::ResponseReusable() {
  CheckPeerClosed(IfClosed::Return, BufferedBytes::Count);
  return LastResponse().Reusable(Connected(), ProtocolVersion);
}

void TIdCustomHTTP::CloseUnlessReusable() {
  // Asked first in every case: it notices a peer close.
  const bool reusable = ResponseReusable();
  if (reusable && !response_pending_) return;
  // Whatever is left of a half-read response would be read as the next
  // response.
  response_pending_ = false;
  Disconnect();
}

void TIdCustomHTTP::ReadResponseHead() {
  TIdHTTPResponse& response = LastResponse();
  do {
    // Read aside: a read that fails leaves the last status line in place.
    ReadLnInto(status_line_read_);
    response.StatusLine.swap(status_line_read_);
    protocol_->ReadHeaderLines(*this);
    StoreResponseCookies();
  } while (response.StatusCode() == 100);
}

void TIdCustomHTTP::StoreResponseCookies() {
  const TIdHeaderList& lines = LastResponse().HeaderLines;
  if (cookie_manager_ == nullptr && AllowCookies) {
    owned_cookie_manager_ = std::make_unique<TIdCookieManager>();
    cookie_manager_ = owned_cookie_manager_.get();
    owns_cookie_manager_ = true;
  }
  if (cookie_manager_ == nullptr) return;
  const std::string& host = current_uri_->Host;
  // A continuation line begins with a blank, so it never carries a name.
  StringList values;
  lines.ExtractAll("Set-cookie", &values);
  for (const std::string& value : values.Lines()) cookie_manager_->StoreSetCookie(value, host);
  values.Clear();
  lines.ExtractAll("Set-cookie2", &values);
  for (const std::string& value : values.Lines()) cookie_manager_->StoreSetCookie2(value, host);
}

}  // namespace kv
